#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "DesktopServices.h"
#include "platform_gui/posix/DesktopCall.h"
#include "platform_gui/posix/GSettingsBackground.h"
#include "support/TempFolder.h"

namespace velluma {
namespace {

using Flavour = GSettingsBackground::Flavour;

const char* schemaOf(Flavour f) {
    switch (f) {
        case Flavour::Gnome:
            return "org.gnome.desktop.background";
        case Flavour::Cinnamon:
            return "org.cinnamon.desktop.background";
        case Flavour::Mate:
            return "org.mate.background";
    }
    return "";
}

// The settings store itself, through GSettings as the desktop reads it.
class Store {
public:
    explicit Store(const char* schema) {
        GSettingsSchemaSource* source = g_settings_schema_source_get_default();
        GSettingsSchema* s =
            source ? g_settings_schema_source_lookup(source, schema, TRUE) : nullptr;
        if (!s) {
            ADD_FAILURE() << schema
                          << " is not installed: run scripts/install-deps.sh "
                             "(gsettings-desktop-schemas, cinnamon-desktop-data, "
                             "mate-desktop-common)";
            return;
        }
        g_settings_schema_unref(s);
        m_settings = g_settings_new(schema);
    }
    ~Store() {
        if (m_settings) g_object_unref(m_settings);
    }
    bool ok() const { return m_settings != nullptr; }

    std::string get(const char* key) {
        GVariant* v = g_settings_get_value(m_settings, key);
        char* text = g_variant_print(v, FALSE);
        std::string out = text;
        g_free(text);
        g_variant_unref(v);
        return out;
    }
    void set(const char* key, const char* gvariantText) {
        GSettingsSchema* schema = nullptr;
        g_object_get(m_settings, "settings-schema", &schema, nullptr);
        GSettingsSchemaKey* k = g_settings_schema_get_key(schema, key);
        GVariant* v = g_variant_parse(g_settings_schema_key_get_value_type(k), gvariantText,
                                      nullptr, nullptr, nullptr);
        ASSERT_NE(v, nullptr) << gvariantText;
        g_settings_set_value(m_settings, key, v);
        g_settings_sync();
        g_settings_schema_key_unref(k);
        g_settings_schema_unref(schema);
    }

private:
    GSettings* m_settings = nullptr;
};

// What reached the store on disk.
std::string keyfile() {
    return test::readFile(std::string(std::getenv("XDG_CONFIG_HOME")) +
                          "/glib-2.0/settings/keyfile");
}

struct ShowCase {
    Flavour flavour;
    Placement placement;
    const char* pictureKey;
    const char* picture;  // expected value; "KEEP" for unchanged
    const char* options;  // expected picture-options
};

std::string caseName(const ::testing::TestParamInfo<ShowCase>& info) {
    static const char* const flavours[] = {"Gnome", "Cinnamon", "Mate"};
    static const char* const placements[] = {"None", "Centre", "Stretch", "Span", "Tile"};
    return std::string(flavours[int(info.param.flavour)]) + placements[int(info.param.placement)];
}

class GSettingsShow : public ::testing::TestWithParam<ShowCase> {};

TEST_P(GSettingsShow, SetsThePictureAndItsPlacementInTheStore) {
    const ShowCase& c = GetParam();
    Store store(schemaOf(c.flavour));
    ASSERT_TRUE(store.ok());
    const bool uri = c.flavour != Flavour::Mate;
    store.set(c.pictureKey, uri ? "'file:///usr/share/backgrounds/user.jpg'"
                                : "'/usr/share/backgrounds/user.jpg'");
    if (c.flavour == Flavour::Gnome) store.set("picture-uri-dark", "'file:///user-dark.jpg'");
    Store slideshow("org.cinnamon.desktop.background.slideshow");
    if (c.flavour == Flavour::Cinnamon) slideshow.set("slideshow-enabled", "true");
    store.set("picture-options", "'zoom'");
    const std::string before = store.get(c.pictureKey);

    GSettingsBackground background(c.flavour, "/srv/own");
    background.show("/srv/own/desktop 7.bmp", c.placement);

    const std::string picture = std::string(c.picture) == "KEEP" ? before : c.picture;
    EXPECT_EQ(store.get(c.pictureKey), picture);
    EXPECT_EQ(store.get("picture-options"), c.options);
    if (c.flavour == Flavour::Gnome && c.placement != Placement::None) {
        EXPECT_EQ(store.get("picture-uri-dark"), picture);  // dark style shows it too
    }
    if (c.flavour == Flavour::Cinnamon) {
        EXPECT_EQ(slideshow.get("slideshow-enabled"), "false");
    }
    EXPECT_NE(keyfile().find(c.options), std::string::npos) << keyfile();
}

INSTANTIATE_TEST_SUITE_P(
    Placements, GSettingsShow,
    ::testing::Values(ShowCase{Flavour::Gnome, Placement::Stretch, "picture-uri",
                               "'file:///srv/own/desktop%207.bmp'", "'stretched'"},
                      ShowCase{Flavour::Gnome, Placement::Centre, "picture-uri",
                               "'file:///srv/own/desktop%207.bmp'", "'centered'"},
                      ShowCase{Flavour::Gnome, Placement::Tile, "picture-uri",
                               "'file:///srv/own/desktop%207.bmp'", "'wallpaper'"},
                      ShowCase{Flavour::Gnome, Placement::Span, "picture-uri",
                               "'file:///srv/own/desktop%207.bmp'", "'spanned'"},
                      ShowCase{Flavour::Gnome, Placement::None, "picture-uri", "KEEP", "'none'"},
                      ShowCase{Flavour::Cinnamon, Placement::Centre, "picture-uri",
                               "'file:///srv/own/desktop%207.bmp'", "'centered'"},
                      ShowCase{Flavour::Cinnamon, Placement::None, "picture-uri", "KEEP", "'none'"},
                      ShowCase{Flavour::Mate, Placement::Tile, "picture-filename",
                               "'/srv/own/desktop 7.bmp'", "'wallpaper'"},
                      ShowCase{Flavour::Mate, Placement::Stretch, "picture-filename",
                               "'/srv/own/desktop 7.bmp'", "'stretched'"},
                      ShowCase{Flavour::Mate, Placement::None, "picture-filename", "''", "'zoom'"}),
    caseName);

TEST(GSettingsBackground, ReadNamesTheUsersPictureAndRestorePutsEveryKeyBack) {
    struct Case {
        const char* options;
        const char* wallpaper;
        const char* tile;
    };
    const Case cases[] = {
        {"'zoom'", "/usr/share/backgrounds/user.jpg", "0"},
        {"'wallpaper'", "/usr/share/backgrounds/user.jpg", "1"},
        {"'none'", "", "0"},
    };
    Store store("org.gnome.desktop.background");
    ASSERT_TRUE(store.ok());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        store.set("picture-uri", "'file:///usr/share/backgrounds/user.jpg'");
        store.set("picture-uri-dark", "'file:///usr/share/backgrounds/user-dark.jpg'");
        store.set("picture-options", c.options);
        GSettingsBackground background(Flavour::Gnome, "/srv/own");

        const DesktopState user = background.read();
        EXPECT_EQ(user.wallpaper, c.wallpaper);
        EXPECT_EQ(user.tileWallpaper, c.tile);
        EXPECT_FALSE(user.ownPicture);

        background.show("/srv/own/desktop-1.bmp", Placement::Stretch);
        EXPECT_TRUE(background.read().ownPicture);
        background.restore(user.state);
        EXPECT_EQ(store.get("picture-uri"), "'file:///usr/share/backgrounds/user.jpg'");
        EXPECT_EQ(store.get("picture-uri-dark"), "'file:///usr/share/backgrounds/user-dark.jpg'");
        EXPECT_EQ(store.get("picture-options"), c.options);
    }
}

TEST(GSettingsBackground, RestoresCinnamonsSlideShowAndMatesFileName) {
    Store cinnamon("org.cinnamon.desktop.background");
    Store slideshow("org.cinnamon.desktop.background.slideshow");
    Store mate("org.mate.background");
    ASSERT_TRUE(cinnamon.ok() && slideshow.ok() && mate.ok());
    slideshow.set("slideshow-enabled", "true");
    cinnamon.set("picture-options", "'zoom'");
    mate.set("picture-filename", "'/usr/share/backgrounds/mate.png'");
    mate.set("picture-options", "'scaled'");

    GSettingsBackground c(Flavour::Cinnamon, "/srv/own"), m(Flavour::Mate, "/srv/own");
    const DesktopState cinnamonUser = c.read(), mateUser = m.read();
    EXPECT_EQ(mateUser.wallpaper, "/usr/share/backgrounds/mate.png");
    c.show("/srv/own/desktop-2.bmp", Placement::Tile);
    m.show("/srv/own/desktop-2.bmp", Placement::None);
    c.restore(cinnamonUser.state);
    m.restore(mateUser.state);

    EXPECT_EQ(slideshow.get("slideshow-enabled"), "true");
    EXPECT_EQ(cinnamon.get("picture-options"), "'zoom'");
    EXPECT_EQ(mate.get("picture-filename"), "'/usr/share/backgrounds/mate.png'");
    EXPECT_EQ(mate.get("picture-options"), "'scaled'");
}

TEST(GSettingsBackground, DamagedSavedStateIsAnErrorAndChangesNothing) {
    Store store("org.gnome.desktop.background");
    ASSERT_TRUE(store.ok());
    store.set("picture-options", "'zoom'");
    GSettingsBackground background(Flavour::Gnome, "/srv/own");
    EXPECT_THROW(background.restore(R"({"picture-options":"'no such option'"})"), DesktopError);
    EXPECT_EQ(store.get("picture-options"), "'zoom'");
}

}  // namespace
}  // namespace velluma
