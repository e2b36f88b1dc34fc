#pragma once

// One QApplication for a GoogleTest program that tests widgets. Include it in exactly one source
// file of the program: it registers a test environment that creates the application before the
// first test and deletes it after the last. Run such programs with QT_QPA_PLATFORM=offscreen
// (label "qt") or under Xvfb (label "display").

#include <gtest/gtest.h>

#include <QApplication>

#include <memory>

namespace kerrion::test {

class QtAppEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        // Without a display and without a chosen platform, draw off screen rather than abort.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
            && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[16] = "kerrion-test";
    char* m_argv[2] = { m_name, nullptr };
    std::unique_ptr<QApplication> m_app;
};

inline ::testing::Environment* const kQtAppEnvironment
    = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

} // namespace kerrion::test
