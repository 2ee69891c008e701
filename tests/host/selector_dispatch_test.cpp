#include <gtest/gtest.h>

#include "plugin_fixture.h"

using namespace lumenfall;
using namespace lumenfall::testing;

TEST(SelectorDispatch, UnknownSelectorsAreRejectedAndLeaveTheGlobalsUnlocked) {
    auto host = loadPlugin();
    Image out;
    ASSERT_TRUE(host->run(patternImage(8, 4), nullptr, &out).rendered);
    for (int16_t selector : {6, 7, 1000, -1}) {
        EXPECT_EQ(host->callSelector(selector), -30100) << selector;
        EXPECT_EQ(host->counters().handlesLocked, 0) << selector;
    }
}

TEST(SelectorDispatch, AboutTouchesNoGlobals) {
    auto host = loadPlugin();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(host->about(), 0);
    const std::string text = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(text.find("Lumenfall"), std::string::npos);
    EXPECT_EQ(host->counters().handleBytesAllocated, 0);
    EXPECT_EQ(host->counters().handlesOutstanding, 0);
}

TEST(SelectorDispatch, FailedGlobalsOrParameterAllocationGivesMemoryFull) {
    for (int failing : {1, 2}) {  // the globals handle, then the parameter block
        HostOptions options;
        options.failHandleAllocation = failing;
        auto host = loadPlugin(options);
        Image out;
        RunOutcome outcome = host->run(patternImage(8, 4), nullptr, &out);
        EXPECT_FALSE(outcome.rendered);
        EXPECT_EQ(outcome.result, -108) << failing;
        EXPECT_EQ(outcome.failedSelector, 2) << failing;
        EXPECT_EQ(host->counters().handlesLocked, 0);
    }
}

TEST(SelectorDispatch, StartWithoutParametersSelectorCreatesTheDefaultBlock) {
    auto host = loadPlugin();
    Image out;
    ASSERT_TRUE(host->run(patternImage(16, 8), nullptr, &out).rendered);
    const ParameterBlock* block = parameterBlock(*host);
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block->settingsName, "Lumenfall settings.q4q");
    EXPECT_EQ(block->sunRadius, 38);
    EXPECT_EQ(block->showDialog, 0u);
    EXPECT_EQ(block->exportFormat, 3);
    // Prepare puts the centre in the middle of the filter rectangle.
    EXPECT_EQ(block->renderScale, 1);
}

TEST(SelectorDispatch, ParametersSelectorAsksForTheDialogAndGivesExportDefaultsOnce) {
    HostOptions options;
    options.showDialog = true;
    auto host = loadPlugin(options);
    Image out;
    ASSERT_TRUE(host->run(patternImage(16, 8), nullptr, &out).rendered);
    auto* block = const_cast<ParameterBlock*>(parameterBlock(*host));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->exportOptions[2], 1);
    EXPECT_EQ(block->exportOptions[3], 100);
    EXPECT_EQ(block->exportOptions[4], 100);
    EXPECT_EQ(block->showDialog, 0u);  // cleared after the dialog ran
    // The second dialog run in the same host keeps what the user chose.
    block->exportOptions[3] = 55;
    ASSERT_TRUE(host->run(patternImage(16, 8), nullptr, &out).rendered);
    EXPECT_EQ(parameterBlock(*host)->exportOptions[3], 55);
}

TEST(SelectorDispatch, HandleSuiteFallbacksStillRender) {
    for (HandleSuiteKind kind : {HandleSuiteKind::None, HandleSuiteKind::Version0, HandleSuiteKind::SevenProcs,
                                 HandleSuiteKind::NoLock}) {
        HostOptions options;
        options.handleSuite = kind;
        auto host = loadPlugin(options);
        Image out;
        RunOutcome outcome = host->run(patternImage(12, 6), nullptr, &out);
        EXPECT_TRUE(outcome.rendered) << int(kind);
        // The plug-in used its own movable memory, never the host's handles.
        EXPECT_EQ(host->counters().handleBytesAllocated, 0) << int(kind);
    }
}

TEST(SelectorDispatch, RepeatedRunsKeepTheDataSlotAndParameters) {
    auto host = loadPlugin();
    Image out;
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(host->run(patternImage(10, 5), nullptr, &out).rendered) << i;
    // The globals, the parameter block and the descriptor recorded by the last run.
    EXPECT_EQ(host->counters().handlesOutstanding, 3);
    EXPECT_EQ(host->counters().buffersOutstanding, 0);
}

TEST(SelectorDispatch, RefusalsAreBothShownAndReturnOne) {
    HostOptions options;
    options.offerAdvanceState = false;
    options.imageModeOverride = 7;  // multichannel
    auto host = loadPlugin(options);
    Image out;
    ::testing::internal::CaptureStderr();
    RunOutcome outcome = host->run(patternImage(8, 4), nullptr, &out);
    const std::string text = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.failedSelector, 3);
    EXPECT_NE(text.find("Photoshop 3.0 plug-in standard"), std::string::npos);
    EXPECT_NE(text.find("multichannel"), std::string::npos);
    EXPECT_EQ(host->counters().buffersOutstanding, 0);
    EXPECT_TRUE(rectangleEmpty(host->record().inRect));
    EXPECT_TRUE(rectangleEmpty(host->record().outRect));
    EXPECT_TRUE(rectangleEmpty(host->record().maskRect));
}

TEST(SelectorDispatch, UnsupportedModesAndDepthsAreRefused) {
    struct Case { int16_t mode; int32_t depth; } cases[] = {{4, 8}, {9, 8}, {17, 32}, {3, 16}, {11, 8}, {1, 32}};
    for (const auto& c : cases) {
        HostOptions options;
        options.imageModeOverride = c.mode;
        options.depthOverride = c.depth;
        auto host = loadPlugin(options);
        Image out;
        ::testing::internal::CaptureStderr();
        RunOutcome outcome = host->run(patternImage(8, 4), nullptr, &out);
        ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(outcome.result, 1) << c.mode << "/" << c.depth;
        EXPECT_EQ(host->counters().buffersOutstanding, 0);
    }
}
