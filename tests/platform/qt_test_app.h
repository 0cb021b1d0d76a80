#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace velmora::test {

// The one QApplication of a test program: made before the first test runs (not while the tests
// are only being listed) and deleted after the last, on the offscreen platform unless told
// otherwise.
class QtApplicationEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

  private:
    int argc_ = 1;
    char name_[8] = "velmora";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

// gtest owns the environment once added.
inline const bool kQtApplicationRegistered =
    (::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment), true);

}  // namespace velmora::test
