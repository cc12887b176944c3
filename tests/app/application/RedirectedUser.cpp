// Every test program that links this file runs with HOME, XDG_CONFIG_HOME
// and XDG_RUNTIME_DIR in a temporary folder of its own, so that no test can
// read or change a real user's settings, list or log, even one that does not
// set up an environment of its own.
#include "UserEnvironment.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class RedirectedUser : public ::testing::Environment {
public:
    void SetUp() override { m_environment = std::make_unique<tessarin::test::UserEnvironment>(); }
    void TearDown() override { m_environment.reset(); }

private:
    std::unique_ptr<tessarin::test::UserEnvironment> m_environment;
};

// gtest takes ownership of the environment.
[[maybe_unused]] ::testing::Environment* const g_redirectedUser =
    ::testing::AddGlobalTestEnvironment(new RedirectedUser);

} // namespace
