#pragma once

#include <QFile>
#include <QSet>
#include <QString>
#include <QTextStream>

namespace mirvane::test {

// "valid/<fmt>/<name>" entries of the corpus README's list of exotic files.
inline QSet<QString> ExoticCorpusFiles(const QString& corpus) {
  QSet<QString> exotic;
  QFile readme(corpus + "/README.md");
  if (!readme.open(QIODevice::ReadOnly)) return exotic;
  QTextStream in(&readme);
  bool in_list = false;
  while (!in.atEnd()) {
    const QString line = in.readLine();
    if (line.startsWith("## ")) in_list = line.contains("Exotic");
    if (in_list && line.startsWith("- `valid/")) exotic.insert(line.section('`', 1, 1));
  }
  return exotic;
}

}  // namespace mirvane::test
