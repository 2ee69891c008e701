// Any value a script can pass for any setting renders to the end: no
// undefined arithmetic, no access outside a buffer, no endless loop. Run
// under the sanitizer build, which turns each of those into a failure.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

#include "params/settings_table.h"
#include "plugin_fixture.h"

using namespace lumenfall;
using namespace lumenfall::testing;

namespace {

DescriptorEntry entryFor(const SettingInfo& s, double value) {
    DescriptorEntry e;
    e.key = s.key;
    switch (s.kind) {
        case SettingKind::Axis:
            e.type = pi::kTypeFloat;
            e.number = value;
            break;
        case SettingKind::Switch:
            e.type = pi::kTypeBoolean;
            e.integer = value != 0;
            break;
        case SettingKind::SunType:
        case SettingKind::Glue:
            e.type = pi::kTypeEnumerated;
            e.enumType = s.kind == SettingKind::Glue ? 0x73677479u : 0x73757479u;
            e.integer = int64_t(uint32_t(int64_t(value)));
            break;
        default:
            e.type = pi::kTypeInteger;
            e.integer = int64_t(value);
    }
    return e;
}

}  // namespace

TEST(ExtremeSettings, EveryValueOfEverySettingRendersToTheEnd) {
    const double integers[] = {double(INT32_MIN), -1, 0, 101, double(INT32_MAX)};
    const double floats[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(), 1e30, -1e30, 0.5};
    const Image input = patternImage(23, 17);
    auto host = loadPlugin();
    const SettingInfo* table = settingsTable();
    for (int i = 0; i < kSettingCount; ++i) {
        const SettingInfo& s = table[i];
        std::vector<double> values(std::begin(integers), std::end(integers));
        if (s.kind == SettingKind::Axis) values.assign(std::begin(floats), std::end(floats));
        for (double v : values) {
            host->options().descriptorEntries = {entryFor(s, v)};
            Image out;
            const auto start = std::chrono::steady_clock::now();
            RunOutcome outcome = host->run(input, nullptr, &out);
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            EXPECT_TRUE(outcome.rendered) << s.name << "=" << v;
            EXPECT_LT(seconds, 20.0) << s.name << "=" << v;
            EXPECT_EQ(host->counters().buffersOutstanding, 0);
        }
    }
}

TEST(ExtremeSettings, AllSettingsAtTheirLimitsTogether) {
    auto host = loadPlugin();
    const SettingInfo* table = settingsTable();
    for (double v : {double(INT32_MAX), double(INT32_MIN), -1.0}) {
        std::vector<DescriptorEntry> entries;
        for (int i = 0; i < kSettingCount; ++i) entries.push_back(entryFor(table[i], v));
        host->options().descriptorEntries = entries;
        Image out;
        EXPECT_TRUE(host->run(patternImage(31, 9, 1, false, 16), nullptr, &out).rendered) << v;
    }
}
