// Helpers for tests that drive the plug-in module through our own host.
#ifndef LUMENFALL_TESTS_HOST_PLUGIN_FIXTURE_H
#define LUMENFALL_TESTS_HOST_PLUGIN_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "image.h"
#include "params/parameter_block.h"
#include "plugin_host.h"

namespace lumenfall::testing {

inline std::unique_ptr<PluginHost> loadPlugin(HostOptions options = {}) {
    auto host = std::make_unique<PluginHost>(options);
    std::string error;
    EXPECT_TRUE(host->load(LF_PLUGIN_PATH, &error)) << error;
    return host;
}

// A picture with a different value in every sample, so that moved or lost
// pixels show.
inline Image patternImage(int32_t width, int32_t height, int32_t colours = 3, bool alpha = false, int32_t depth = 8) {
    Image image;
    image.allocate(width, height, colours, alpha, depth);
    for (size_t i = 0; i < image.samples.size(); ++i)
        image.samples[i] = uint16_t(depth == 16 ? (i * 2654435761u) >> 16 : (i * 37 + i / 7) & 0xFF);
    return image;
}

inline Image constantImage(int32_t width, int32_t height, uint16_t value) {
    Image image;
    image.allocate(width, height, 1, false, 8);
    for (auto& s : image.samples) s = value;
    return image;
}

// The parameter block the host keeps for the plug-in.
inline const ParameterBlock* parameterBlock(PluginHost& host) {
    pi::Handle h = host.record().parameters;
    return h ? reinterpret_cast<const ParameterBlock*>(*h) : nullptr;
}

inline bool rectangleEmpty(const pi::Rect& r) { return r.top == 0 && r.left == 0 && r.bottom == 0 && r.right == 0; }

}  // namespace lumenfall::testing

#endif
