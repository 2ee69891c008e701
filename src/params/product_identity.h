// Who and what the product is: the one place for its name, maker, version
// and web address. The version comes from the build (the project's
// version in CMakeLists.txt), which also stamps the Windows resources.
#ifndef LUMENFALL_PARAMS_PRODUCT_IDENTITY_H
#define LUMENFALL_PARAMS_PRODUCT_IDENTITY_H

#ifndef LF_PRODUCT_VERSION
#error "LF_PRODUCT_VERSION comes from the build (CMakeLists.txt)"
#endif

namespace lumenfall {

constexpr const char* kProductName = "Lumenfall";
constexpr const char* kMakerName = "Orvandel";
constexpr const char* kProductVersion = LF_PRODUCT_VERSION;
// The maker's web page: the about box's button, the comment and source of
// every picture's metadata.
constexpr const char* kMakerWebAddress = "https://orvandel.example/";
constexpr const char* kProductSummary = "draws fantasy suns";
constexpr const char* kPictureCaption = "Made with Lumenfall";

}  // namespace lumenfall

#endif
