#include "livepage/GpuChoice.h"

#include <gtest/gtest.h>

namespace velluma {
namespace {

struct Case {
    const char* what;
    const char* renderer;
    std::vector<std::pair<const char*, const char*>> environment;
    Rendering expected;
};

QProcessEnvironment environmentOf(const Case& c) {
    QProcessEnvironment environment;
    for (const auto& [name, value] : c.environment)
        environment.insert(QString::fromLatin1(name), QString::fromLatin1(value));
    return environment;
}

TEST(GpuChoice, DrawsOnTheGpuOnlyWhereTheDisplayHasAHardwareDriverOrItIsForced) {
    const Case cases[] = {
        {"Intel through Mesa", "Mesa Intel(R) UHD Graphics 620 (KBL GT2)", {}, Rendering::Gpu},
        {"AMD through Mesa",
         "AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0-13-amd64)",
         {},
         Rendering::Gpu},
        {"NVIDIA's own driver", "NVIDIA GeForce GTX 1650/PCIe/SSE2", {}, Rendering::Gpu},
        {"Mesa's llvmpipe", "llvmpipe (LLVM 15.0.6, 256 bits)", {}, Rendering::Software},
        {"llvmpipe under Gallium's older name",
         "Gallium 0.4 on llvmpipe (LLVM 3.4, 128 bits)",
         {},
         Rendering::Software},
        {"Mesa's softpipe", "softpipe", {}, Rendering::Software},
        {"Mesa's classic swrast", "Software Rasterizer", {}, Rendering::Software},
        {"SwiftShader", "Google SwiftShader", {}, Rendering::Software},
        {"no context could be made", "", {}, Rendering::Software},
        {"blank answer", "  \n", {}, Rendering::Software},
        {"forced on a software driver",
         "llvmpipe (LLVM 15.0.6, 256 bits)",
         {{"VELLUMA_GPU", "on"}},
         Rendering::Gpu},
        {"forced with no context", "", {{"VELLUMA_GPU", "1"}}, Rendering::Gpu},
        {"forced off on a real GPU",
         "Mesa Intel(R) Xe Graphics",
         {{"VELLUMA_GPU", "off"}},
         Rendering::Software},
        {"Mesa told to draw in software",
         "Mesa Intel(R) Xe Graphics",
         {{"LIBGL_ALWAYS_SOFTWARE", "1"}},
         Rendering::Software},
        {"Mesa's software switch set to 0",
         "Mesa Intel(R) Xe Graphics",
         {{"LIBGL_ALWAYS_SOFTWARE", "0"}},
         Rendering::Gpu},
        {"an unknown word decides nothing",
         "Mesa Intel(R) Xe Graphics",
         {{"VELLUMA_GPU", "maybe"}},
         Rendering::Gpu},
    };
    for (const Case& c : cases) {
        const Rendering chosen =
            chooseRendering(environmentOf(c), [&c] { return QString::fromLatin1(c.renderer); });
        EXPECT_EQ(chosen, c.expected) << c.what;
    }
}

TEST(GpuChoice, AsksForTheRendererOnlyWhenTheEnvironmentLeavesTheChoiceOpen) {
    int asked = 0;
    auto renderer = [&asked] {
        ++asked;
        return QStringLiteral("Mesa Intel(R) Xe Graphics");
    };
    QProcessEnvironment forced;
    forced.insert(QStringLiteral("VELLUMA_GPU"), QStringLiteral("off"));
    EXPECT_EQ(chooseRendering(forced, renderer), Rendering::Software);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(chooseRendering(QProcessEnvironment(), renderer), Rendering::Gpu);
    EXPECT_EQ(asked, 1);
}

}  // namespace
}  // namespace velluma
