#include "icc_profiles.h"

#include <lcms2.h>

namespace mirvane::test {

QByteArray LinearTableProfile() {
  cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
  cmsToneCurve* curves[3] = {linear, linear, linear};
  const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
  cmsHPROFILE matrix = cmsCreateRGBProfile(cmsD50_xyY(), &primaries, curves);
  cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
  cmsHTRANSFORM to_lab =
      cmsCreateTransform(matrix, TYPE_RGB_16, lab, TYPE_Lab_16, INTENT_RELATIVE_COLORIMETRIC, 0);
  cmsStage* table = cmsStageAllocCLut16bit(nullptr, 17, 3, 3, nullptr);
  cmsStageSampleCLut16bit(
      table,
      [](const cmsUInt16Number in[], cmsUInt16Number out[], void* transform) -> cmsInt32Number {
        cmsDoTransform(static_cast<cmsHTRANSFORM>(transform), in, out, 1);
        return TRUE;
      },
      to_lab, 0);
  cmsPipeline* pipeline = cmsPipelineAlloc(nullptr, 3, 3);
  // Curves, table, curves: the shape of an A-to-B table.
  cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
  cmsPipelineInsertStage(pipeline, cmsAT_END, table);
  cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
  cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
  cmsSetProfileVersion(profile, 4.3);
  cmsSetDeviceClass(profile, cmsSigInputClass);
  cmsSetColorSpace(profile, cmsSigRgbData);
  cmsSetPCS(profile, cmsSigLabData);
  cmsWriteTag(profile, cmsSigAToB0Tag, pipeline);
  cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  QByteArray icc(qsizetype(size), '\0');
  cmsSaveProfileToMem(profile, icc.data(), &size);
  cmsCloseProfile(profile);
  cmsPipelineFree(pipeline);
  cmsDeleteTransform(to_lab);
  cmsCloseProfile(lab);
  cmsCloseProfile(matrix);
  cmsFreeToneCurve(linear);
  return icc;
}

}  // namespace mirvane::test
