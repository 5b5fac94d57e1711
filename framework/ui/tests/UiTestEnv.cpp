// One application object for all ui tests, on the offscreen platform.
#include "UiTestEnv.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class UiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        App = new TApplication();
    }
    void TearDown() override {
        delete App;
        App = nullptr;
    }
    TApplication* App = nullptr;
};

[[maybe_unused]] ::testing::Environment* const Env = ::testing::AddGlobalTestEnvironment(new UiEnvironment);

} // namespace

ExceptionCatcher::ExceptionCatcher() {
    Application->OnException = [this](TObject* Sender, const std::exception& E) {
        Messages.push_back(E.what());
        Senders.push_back(Sender);
    };
}

ExceptionCatcher::~ExceptionCatcher() { Application->OnException = nullptr; }
