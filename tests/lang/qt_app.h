#pragma once

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace nx::lang::test {

// One QApplication (offscreen) for the whole test program: translators and windows need it.
class QtApplicationEnvironment final : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "lang_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QApplication> app_;
};

}  // namespace nx::lang::test
