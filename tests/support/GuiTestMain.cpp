#include <gtest/gtest.h>

#include <QApplication>

#include "language/Language.h"

namespace {

// A window that asks for a text no language file can have shows it empty: every window test
// fails on it.
class LanguageKeyCheck : public ::testing::Environment {
public:
    void TearDown() override {
        for (const std::string& key : velluma::TLanguage::unknownKeysAsked())
            ADD_FAILURE() << "the program asked for a text that is not among the language keys: "
                          << key;
    }
};

}  // namespace

// Window tests run the real widgets on Qt's offscreen platform.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new LanguageKeyCheck);
    return RUN_ALL_TESTS();
}
