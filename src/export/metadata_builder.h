// The metadata blocks shared by the JPEG writer and the PSD writer: the IPTC
// record (inside a "8BIM" image resource) and a minimal EXIF block naming the
// software, with a keyword list that callers fill before building.
#ifndef LUMENFALL_EXPORT_METADATA_BUILDER_H
#define LUMENFALL_EXPORT_METADATA_BUILDER_H

#include <cstdint>
#include <ctime>

namespace lumenfall {

constexpr int32_t kMaxKeywords = 19;
constexpr int32_t kMaxKeywordLength = 49;

// Large enough for the fullest IPTC block (19 keywords of 49 characters,
// every fixed dataset, both prefixes); writes are bounded by it all the same.
constexpr int32_t kMetadataCapacity = 1536;

struct MetadataBuilder {
    uint8_t buffer[kMetadataCapacity];
    int32_t length;                 // bytes of the last built block
    char keywords[kMaxKeywords][kMaxKeywordLength + 1];
    int32_t keywordCount;
};

void resetMetadataBuilder(MetadataBuilder& builder);

// Adds a keyword unless it is empty, longer than 49 characters, already in
// the list, or the list is full. Returns whether it was added.
bool addKeyword(MetadataBuilder& builder, const char* text);

// Builds the IPTC block into builder.buffer (or only measures it when
// lengthOnly) and returns its length; 0 if it could not be built. The
// prefix is "Photoshop 3.0" and a zero byte, as the JPEG APP13 marker wants.
int32_t buildIptcBlock(MetadataBuilder& builder, bool withPrefix, bool lengthOnly,
                       const std::tm& localDate);

// Builds the EXIF block (prefix "Exif" and two zero bytes) the same way.
int32_t buildExifBlock(MetadataBuilder& builder, bool withPrefix, bool lengthOnly);

// Today's local date, for the "date created" dataset; with SOURCE_DATE_EPOCH
// set to whole seconds, that moment's date in UTC instead.
std::tm todaysLocalDate();

}  // namespace lumenfall

#endif
