#include <gtest/gtest.h>

#include <cstring>

#include "host/descriptor_io.h"
#include "params/defaults.h"
#include "params/enumerations.h"
#include "platform/global_memory.h"
#include "plugin_fixture.h"
#include "settings_arguments.h"

using namespace lumenfall;
using namespace lumenfall::testing;

namespace {

DescriptorEntry setting(const std::string& text) {
    DescriptorEntry entry;
    std::string error;
    EXPECT_TRUE(parseSetting(text, &entry, &error)) << error;
    return entry;
}

const DescriptorEntry* findKey(const std::vector<DescriptorEntry>& entries, const char (&key)[5]) {
    for (const DescriptorEntry& e : entries)
        if (e.key == pi::fourCC(key)) return &e;
    return nullptr;
}

RunOutcome runWith(PluginHost& host, std::vector<DescriptorEntry> entries) {
    host.options().descriptorEntries = std::move(entries);
    Image out;
    return host.run(patternImage(8, 6), nullptr, &out);
}

}  // namespace

TEST(Descriptors, MissingKeysTakeTheirDefaults) {
    auto host = loadPlugin();
    ASSERT_TRUE(runWith(*host, {setting("sun red=10"), setting("halo radius=3")}).rendered);
    EXPECT_EQ(parameterBlock(*host)->sunColor[0], 10 * 256);
    ASSERT_TRUE(runWith(*host, {setting("sun radius=60")}).rendered);
    const ParameterBlock* block = parameterBlock(*host);
    EXPECT_EQ(block->sunRadius, 60);
    EXPECT_EQ(block->sunColor[0], 142 * 256);
    EXPECT_EQ(block->haloRadius, 67);
    EXPECT_FALSE(host->descriptors().sawSecondReader());
}

// A script may pass any integer for a colour channel (the command line
// refuses values outside 0..255, so these entries are made directly).
DescriptorEntry scriptColour(const std::string& name, int64_t value) {
    DescriptorEntry entry = setting(name + "=0");
    entry.integer = value;
    return entry;
}

TEST(Descriptors, ColoursTravelAsTheirHighByte) {
    auto host = loadPlugin();
    ASSERT_TRUE(runWith(*host, {scriptColour("sun red", 300), scriptColour("sun green", -1),
                                scriptColour("spike blue", 2147483647)})
                    .rendered);
    const ParameterBlock* block = parameterBlock(*host);
    EXPECT_EQ(block->sunColor[0], 11264);   // 300 * 256 keeps its low 16 bits: 44 * 256
    EXPECT_EQ(block->sunColor[1], 65280);   // -1 * 256, unsigned
    EXPECT_EQ(block->spikeColor[2], 65280);
    const auto recorded = host->recordedDescriptor();
    EXPECT_EQ(findKey(recorded, "0001")->integer, 44);
    EXPECT_EQ(findKey(recorded, "0002")->integer, 255);
    EXPECT_EQ(colourChannelFromDescriptor(INT32_MIN), 0);
}

TEST(Descriptors, EnumerationsOutsideTheTableAreWrittenAsNone) {
    auto host = loadPlugin();
    ASSERT_TRUE(runWith(*host, {setting("glue=zzzz"), setting("sun type=su09")}).rendered);
    EXPECT_EQ(parameterBlock(*host)->glue, 0);   // unknown codes read as 0
    EXPECT_EQ(parameterBlock(*host)->sunType, 0);
    EXPECT_EQ(uint32_t(findKey(host->recordedDescriptor(), "sgky")->integer), kCodeNone);
    // Values a preset or an old host can leave in the block.
    host->options().passDescriptor = false;
    for (int32_t glue : {0, 20, -1, INT32_MIN}) {
        const_cast<ParameterBlock*>(parameterBlock(*host))->glue = glue;
        Image out;
        ASSERT_TRUE(host->run(patternImage(8, 6), nullptr, &out).rendered);
        const auto entries = host->recordedDescriptor();
        const DescriptorEntry* recorded = findKey(entries, "sgky");
        ASSERT_NE(recorded, nullptr);
        EXPECT_EQ(uint32_t(recorded->integer), kCodeNone) << glue;
        EXPECT_EQ(recorded->enumType, kEnumTypeGlue);
    }
}

TEST(Descriptors, RecordedKeysFollowTheKeyOrderWithTheirTypes) {
    auto host = loadPlugin();
    ASSERT_TRUE(runWith(*host, {}).rendered);
    const auto recorded = host->recordedDescriptor();
    ASSERT_EQ(recorded.size(), 49u);
    uint32_t keys[50];
    descriptorKeyList(keys);
    for (size_t i = 0; i < 49; ++i) EXPECT_EQ(recorded[i].key, keys[i]) << i;
    EXPECT_EQ(keys[49], 0u);
    EXPECT_EQ(findKey(recorded, "0021")->type, pi::kTypeBoolean);
    EXPECT_EQ(findKey(recorded, "0042")->type, pi::kTypeFloat);
    EXPECT_EQ(findKey(recorded, "0042")->number, double(-0.3f));
    EXPECT_EQ(findKey(recorded, "suky")->type, pi::kTypeEnumerated);
    EXPECT_EQ(findKey(recorded, "0048")->integer, 203);
    EXPECT_EQ(host->record().descriptorParameters->recordInfo, 0);
}

TEST(Descriptors, RefusedHostReadsNoDescriptor) {
    HostOptions options;
    options.offerAdvanceState = false;
    auto host = loadPlugin(options);
    ::testing::internal::CaptureStderr();
    RunOutcome outcome = runWith(*host, {setting("sun radius=60")});
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("Photoshop 3.0"), std::string::npos);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(host->descriptors().readersOpened(), 1);  // the probe only
    EXPECT_EQ(parameterBlock(*host)->sunRadius, 38);
}

TEST(Descriptors, SomeHostsAreNeverReadButAlwaysRecorded) {
    for (const char* sig : {"PSP8", "PSP9"}) {
        HostOptions options;
        options.hostSig = pi::fourCC(reinterpret_cast<const char(&)[5]>(*sig));
        auto host = loadPlugin(options);
        ASSERT_TRUE(runWith(*host, {setting("sun radius=60")}).rendered);
        EXPECT_EQ(parameterBlock(*host)->sunRadius, 38) << sig;
        EXPECT_EQ(host->descriptors().readersOpened(), 0) << sig;
        EXPECT_EQ(host->recordedDescriptor().size(), 49u) << sig;
    }
}

TEST(Descriptors, CloseErrorsOtherThanMissingParameterEndTheRun) {
    HostOptions options;
    options.descriptor.closeReaderError = -50;
    auto host = loadPlugin(options);
    RunOutcome outcome = runWith(*host, {setting("sun radius=60")});
    EXPECT_FALSE(outcome.rendered);
    EXPECT_EQ(outcome.result, -50);
    EXPECT_EQ(outcome.failedSelector, 3);
    EXPECT_EQ(host->counters().buffersOutstanding, 0);
    EXPECT_TRUE(rectangleEmpty(host->record().inRect));

    host->options().descriptorEntries.clear();
    HostOptions tolerated;
    tolerated.descriptor.closeReaderError = pi::kErrMissingParameter;
    auto second = loadPlugin(tolerated);
    EXPECT_TRUE(runWith(*second, {}).rendered);
}

TEST(Descriptors, UnusableSuitesAreSkippedSilently) {
    struct Case { int16_t read, write; bool offer; } cases[] = {{17, 16, true}, {18, 15, true}, {18, 16, false}};
    for (const Case& c : cases) {
        HostOptions options;
        options.descriptor.readProcsCount = c.read;
        options.descriptor.writeProcsCount = c.write;
        options.descriptor.offerSuites = c.offer;
        auto host = loadPlugin(options);
        ASSERT_TRUE(runWith(*host, {setting("sun radius=60")}).rendered);
        EXPECT_EQ(parameterBlock(*host)->sunRadius, 38);
        EXPECT_EQ(host->descriptors().readersOpened(), 0);
        // Nothing written: the host still holds the descriptor it gave.
        EXPECT_EQ(host->recordedDescriptor().size(), 1u);
    }
}

TEST(Descriptors, PlayInfoAsksForTheDialog) {
    HostOptions options;
    options.descriptor.playInfo = pi::kPlayDialogDisplay;
    PluginHost host(options);  // only its suites are used here
    Image out;
    pi::FilterRecord record{};
    DescriptorHost descriptors(DescriptorMemory{globalNew, globalLock, globalUnlock, globalDispose, globalSize},
                               options.descriptor);
    descriptors.attach(record, {setting("sun radius=70")}, true);
    static ParameterBlock block;
    std::memset(&block, 0, sizeof block);
    initialiseParameterBlock(block);
    EXPECT_EQ(readDescriptorInto(&record, block), 0);
    EXPECT_EQ(block.showDialog, 1u);
    EXPECT_EQ(block.sunRadius, 70);
    EXPECT_EQ(record.descriptorParameters->descriptor, nullptr);  // disposed after reading

    DescriptorOptions quiet;
    DescriptorHost silent(DescriptorMemory{globalNew, globalLock, globalUnlock, globalDispose, globalSize}, quiet);
    silent.attach(record, {}, false);  // usable suites, no descriptor: only the flag is set
    block.showDialog = 1;
    EXPECT_EQ(readDescriptorInto(&record, block), 0);
    EXPECT_EQ(block.showDialog, 0u);
    EXPECT_EQ(block.sunRadius, 70);
}

TEST(Descriptors, RecordedSettingsFeedBackUnchanged) {
    auto host = loadPlugin();
    ASSERT_TRUE(runWith(*host, {setting("flare X=0.123456789"), setting("X center=0.3333"), setting("glue=screen"),
                                setting("vortices=off"), setting("spike detail=12")}).rendered);
    const auto first = host->recordedDescriptor();
    std::vector<DescriptorEntry> replay;
    const std::string text = formatSettings(first);
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        replay.push_back(setting(text.substr(start, end - start)));
        start = end + 1;
    }
    ASSERT_TRUE(runWith(*host, replay).rendered);
    const auto second = host->recordedDescriptor();
    ASSERT_EQ(first.size(), second.size());
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].integer, second[i].integer) << i;
        EXPECT_EQ(first[i].number, second[i].number) << i;
    }
    EXPECT_EQ(findKey(second, "0041")->integer, 12);
    EXPECT_EQ(findKey(second, "0021")->integer, 0);
}

TEST(SettingArguments, NamesValuesAndMistakes) {
    DescriptorEntry e;
    std::string error;
    EXPECT_TRUE(parseSetting("sun type=eclipse", &e, &error));
    EXPECT_EQ(uint32_t(e.integer), pi::fourCC("su03"));
    EXPECT_TRUE(parseSetting("glue=sg10", &e, &error));
    EXPECT_EQ(uint32_t(e.integer), pi::fourCC("sg10"));
    EXPECT_TRUE(parseSetting("glue = Linear Light", &e, &error));
    EXPECT_EQ(uint32_t(e.integer), pi::fourCC("sg18"));
    EXPECT_TRUE(parseSetting("spike detail =5", &e, &error));
    EXPECT_TRUE(parseSetting("halo radius=-40", &e, &error));
    EXPECT_EQ(e.integer, -40);
    EXPECT_TRUE(parseSetting("monopoles=true", &e, &error));
    EXPECT_EQ(e.type, pi::kTypeBoolean);
    EXPECT_TRUE(parseSetting("Y center=1e30", &e, &error));

    EXPECT_FALSE(parseSetting("sun radius=2147483648", &e, &error));
    EXPECT_FALSE(parseSetting("sun radius=12.5", &e, &error));
    EXPECT_FALSE(parseSetting("vortices=maybe", &e, &error));
    EXPECT_FALSE(parseSetting("X center=abc", &e, &error));
    EXPECT_FALSE(parseSetting("X center=1e999", &e, &error));
    EXPECT_FALSE(parseSetting("glue=shine", &e, &error));
    EXPECT_NE(error.find("\"screen\""), std::string::npos);
    EXPECT_FALSE(parseSetting("sun radios=3", &e, &error));
    EXPECT_NE(error.find("\"sun radius\""), std::string::npos);
    EXPECT_FALSE(parseSetting("radius", &e, &error));
}
