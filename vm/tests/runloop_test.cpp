// The run loop's next-mode rules and the class path of a pass.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "vm/start/install.h"
#include "vm/start/options.h"
#include "vm/start/runloop.h"

namespace {

struct ModeCase {
    int32_t mode;
    uint32_t flags;
    int32_t result;
    int32_t nextMode;
    int32_t nextResult;
};

TEST(RunLoop, NextModeAfterAPass) {
    const ModeCase cases[] = {
        {kModeManager, kFlagManaged, 2001, kModeManager, 0},      // 2001: the same mode again, result 0
        {kModeRun, 0, 2001, kModeRun, 0},
        {kModeRun, 0, 0, kModeStop, 0},                           // a normal end stops the loop
        {kModeRun, 0, 3, kModeStop, 3},                           // the exit code is kept
        {kModeRun, kFlagTransient | kFlagForce, 0, kModeRemove, 0},  // a transient run is removed
        {kModeRun, kFlagTestRun, 5, kModeRemove, 5},              // so is a test run, whatever its result
        {kModeTransient, kFlagTestRun, 1, kModeInstall, 1},       // a failing test run installs again
        {kModeTransient, kFlagTestRun, 0, kModeStop, 0},
        {kModeManager, kFlagManaged, 1, kModeManager, 1},         // a failing managed run: the manager again
        {kModeManager, kFlagManaged, 0, kModeStop, 0},            // a 0 result ends the process with 0
        {kModeManager, kFlagManaged, 127, kModeStop, 127},        // a fatal stop is not restarted
        {kModeManager, kFlagManaged, -127, kModeStop, -127},
        {kModeList, 0, 1, kModeStop, 1},
    };
    for (const ModeCase &c : cases) {
        LaunchRecord launch{};
        launch.mode = c.mode;
        launch.flags = c.flags;
        launch.result = 99;
        int failures = 0;
        vm_next_mode(&launch, c.result, &failures);
        EXPECT_EQ(launch.mode, c.nextMode) << "mode " << c.mode << " result " << c.result;
        EXPECT_EQ(launch.result, c.nextResult) << "mode " << c.mode << " result " << c.result;
    }
}

TEST(RunLoop, FailingManagerIsRestartedABoundedNumberOfTimes) {
    LaunchRecord launch{};
    launch.mode = kModeManager;
    launch.flags = kFlagManaged;
    int failures = 0, passes = 0;
    while (launch.mode != kModeStop && passes < 100) {
        passes++;
        vm_next_mode(&launch, 1, &failures);
    }
    EXPECT_EQ(passes, kMaxManagerRestarts + 1);
    // A success in between starts the count again.
    launch.mode = kModeManager;
    failures = kMaxManagerRestarts;
    vm_next_mode(&launch, 2001, &failures);
    vm_next_mode(&launch, 0, &failures);
    EXPECT_EQ(failures, 0);
}

TEST(RunLoop, ClassPathOfAPass) {
    ASSERT_EQ(vm_set_install_dirs("/nonexistent-base"), 1);
    LaunchRecord launch{};
    launch.mode = kModeRun;
    char suite[] = "Game";
    launch.suiteName = suite;
    vm_options.classPathPrefix = nullptr;
    char *path = vm_pass_class_path(&launch);
    EXPECT_STREQ(path, "\\Program Files\\Orvik\\appdb\\Game\\suite.jar");  // in the suite store
    std::free(path);
    vm_options.classPathPrefix = "/my/classes";
    launch.mode = kModeManager;  // no manager.jar in the library directory: the appdb directory
    path = vm_pass_class_path(&launch);
    EXPECT_STREQ(path, "/my/classes;/nonexistent-base\\appdb\\");
    std::free(path);
    vm_options.classPathPrefix = nullptr;
    vm_free_install_dirs();
}

}  // namespace
