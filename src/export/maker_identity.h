// The names this program writes into the metadata of its pictures.
#ifndef LUMENFALL_EXPORT_MAKER_IDENTITY_H
#define LUMENFALL_EXPORT_MAKER_IDENTITY_H

namespace lumenfall {

constexpr const char* kMakerAddress = "https://orvandel.example/";
constexpr const char* kProgramName = "Lumenfall";
constexpr const char* kPictureCaption = "Made with Lumenfall";

}  // namespace lumenfall

#endif
