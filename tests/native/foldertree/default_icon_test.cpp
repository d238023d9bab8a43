#include <gtest/gtest.h>

#include <map>

#include "foldertree/default_icon.h"

namespace tf::foldertree {
namespace {

EnvironmentLookup Env(std::map<std::string, std::string> values) {
    return [values](const std::string& name) -> std::optional<std::string> {
        auto it = values.find(name);
        if (it == values.end()) return std::nullopt;
        return it->second;
    };
}

TEST(ClsidDefaultIcon, EnvironmentFormPrefixesTheVariable) {
    const auto icon = ClsidDefaultIcon("%SystemRoot%\\System32\\imageres.dll,-109", DefaultIconForm::kEnvironment,
                                       Env({{"SystemRoot", "E:\\OS"}}));
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->kind, IconSource::Kind::kModule);
    EXPECT_EQ(icon->file, "E:\\OS\\System32\\imageres.dll");
    EXPECT_EQ(icon->index, -109);

    const auto shell = ClsidDefaultIcon("%SystemRoot%\\system32\\shell32.dll,15", DefaultIconForm::kEnvironment,
                                        Env({{"SystemRoot", "C:\\Windows"}}));
    ASSERT_TRUE(shell);
    EXPECT_EQ(shell->file, "C:\\Windows\\system32\\shell32.dll");
    EXPECT_EQ(shell->index, 15);
}

TEST(ClsidDefaultIcon, FixedFormUsesTheSystemFolderWhateverTheRoot) {
    for (const char* value : {"%SystemRoot%\\System32\\imageres.dll,-109", "D:\\Elsewhere\\imageres.dll,-109"}) {
        const auto icon = ClsidDefaultIcon(value, DefaultIconForm::kFixedFolder, Env({{"SystemRoot", "E:\\OS"}}));
        ASSERT_TRUE(icon) << value;
        EXPECT_EQ(icon->file, "C:\\Windows\\System32\\imageres.dll") << value;
        EXPECT_EQ(icon->index, -109) << value;
    }
}

TEST(ClsidDefaultIcon, ValueIsReadUpToItsNulAndIndexMayHaveBlanks) {
    const std::string value("%SystemRoot%\\System32\\imageres.dll, 7 \0,99   ", 45);
    const auto icon = ClsidDefaultIcon(value, DefaultIconForm::kFixedFolder, Env({}));
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->index, 7);
}

TEST(ClsidDefaultIcon, MalformedValuesGiveNothing) {
    const auto env = Env({{"SystemRoot", "C:\\Windows"}});
    struct Case {
        const char* value;
        DefaultIconForm form;
    };
    for (const Case& c : {
             Case{"", DefaultIconForm::kFixedFolder},
             Case{"%SystemRoot%\\System32\\imageres.dll", DefaultIconForm::kFixedFolder},  // no comma
             Case{"shell32.dll,-33", DefaultIconForm::kFixedFolder},                       // one component
             Case{"System32\\shell32.dll,3", DefaultIconForm::kFixedFolder},               // two components
             Case{"%SystemRoot%\\System32\\,3", DefaultIconForm::kFixedFolder},            // empty file name
             Case{"%SystemRoot%\\System32\\x.dll,", DefaultIconForm::kFixedFolder},        // no index
             Case{"%SystemRoot%\\System32\\x.dll,abc", DefaultIconForm::kFixedFolder},
             Case{"%SystemRoot%\\System32\\x.dll,99999999999", DefaultIconForm::kFixedFolder},
             Case{"C:\\Windows\\System32\\x.dll,3", DefaultIconForm::kEnvironment},  // no reference
             Case{"%%\\System32\\x.dll,3", DefaultIconForm::kEnvironment},
             Case{"%NoSuchVariable%\\System32\\x.dll,3", DefaultIconForm::kEnvironment},
         }) {
        EXPECT_FALSE(ClsidDefaultIcon(c.value, c.form, env)) << c.value;
    }
}

TEST(ClsidDefaultIcon, IndexLimitsOf32Bits) {
    const auto env = Env({});
    EXPECT_EQ(ClsidDefaultIcon("a\\b\\c.dll,-2147483648", DefaultIconForm::kFixedFolder, env)->index, INT32_MIN);
    EXPECT_EQ(ClsidDefaultIcon("a\\b\\c.dll,2147483647", DefaultIconForm::kFixedFolder, env)->index, INT32_MAX);
    EXPECT_FALSE(ClsidDefaultIcon("a\\b\\c.dll,2147483648", DefaultIconForm::kFixedFolder, env));
}

TEST(DefaultIconKeyName, BuildsTheClassKey) {
    EXPECT_EQ(DefaultIconKeyName("::{645FF040-5081-101B-9F08-00AA002F954E}"),
              "CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}\\DefaultIcon");
}

}  // namespace
}  // namespace tf::foldertree
