#include "platform_gui/posix/GSettingsBackground.h"

#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <map>
#include <memory>
#include <vector>

#include "platform_gui/posix/DesktopCall.h"

namespace velluma {
namespace {

struct Schema {
    const char* schema;
    const char* desktop;
    const char* pictureKey;  // a URI, or for MATE a file name
    bool pictureIsUri;
    const char* darkPictureKey;   // only where the schema has it
    const char* slideshowSchema;  // a slide show of the desktop's own would replace ours
    const char* slideshowKey;
    bool hasNoneOption;  // "none" as picture-options; MATE clears the file name
};

constexpr Schema kSchemas[] = {
    {"org.gnome.desktop.background", "GNOME", "picture-uri", true, "picture-uri-dark", nullptr,
     nullptr, true},
    {"org.cinnamon.desktop.background", "Cinnamon", "picture-uri", true, nullptr,
     "org.cinnamon.desktop.background.slideshow", "slideshow-enabled", true},
    {"org.mate.background", "MATE", "picture-filename", false, nullptr, nullptr, nullptr, false},
};
constexpr const char* kOptionsKey = "picture-options";

const Schema& schemaOf(GSettingsBackground::Flavour f) {
    return kSchemas[static_cast<int>(f)];
}

struct GFreeDeleter {
    void operator()(void* p) const { g_free(p); }
};
using GText = std::unique_ptr<char, GFreeDeleter>;
struct GObjectDeleter {
    void operator()(void* p) const { g_object_unref(p); }
};
struct SchemaDeleter {
    void operator()(GSettingsSchema* s) const { g_settings_schema_unref(s); }
};
struct KeyDeleter {
    void operator()(GSettingsSchemaKey* k) const { g_settings_schema_key_unref(k); }
};
struct VariantDeleter {
    void operator()(GVariant* v) const { g_variant_unref(v); }
};
using Variant = std::unique_ptr<GVariant, VariantDeleter>;

// One use of the settings store; lives on the worker thread only. The keys may come from
// two schemas (Cinnamon keeps its slide show apart); each key names its own.
class Store {
public:
    explicit Store(const Schema& flavour) : m_flavour(flavour) {
        // Without a real store (dconf) the values would only live in this process.
        std::unique_ptr<GSettingsBackend, GObjectDeleter> backend(g_settings_backend_get_default());
        if (backend && std::string(G_OBJECT_TYPE_NAME(backend.get())) == "GMemorySettingsBackend")
            throw DesktopError(std::string("The ") + flavour.desktop +
                               " settings store (dconf) is not available");
        if (!open(flavour.schema))
            throw DesktopError(std::string("The ") + flavour.desktop + " background settings (" +
                               flavour.schema + ") are not installed");
        if (flavour.slideshowSchema) open(flavour.slideshowSchema);
    }

    bool hasKey(const char* key) const { return key && partOf(key); }

    /// The keys we change, as far as this version of the desktop has them.
    std::vector<std::string> touchedKeys() const {
        std::vector<std::string> keys;
        for (const char* k :
             {m_flavour.pictureKey, m_flavour.darkPictureKey, kOptionsKey, m_flavour.slideshowKey})
            if (hasKey(k)) keys.emplace_back(k);
        return keys;
    }

    Variant value(const std::string& key) {
        return Variant(g_settings_get_value(partOf(key)->settings.get(), key.c_str()));
    }
    std::string text(const char* key) {
        GText v(g_settings_get_string(partOf(key)->settings.get(), key));
        return v ? v.get() : "";
    }
    const GVariantType* typeOf(const std::string& key) {
        std::unique_ptr<GSettingsSchemaKey, KeyDeleter> schemaKey(
            g_settings_schema_get_key(partOf(key)->schema.get(), key.c_str()));
        return g_settings_schema_key_get_value_type(schemaKey.get());
    }

    /// Holds changes back until commit(), so the desktop sees them as one.
    void delay() {
        for (Part& p : m_parts) g_settings_delay(p.settings.get());
    }

    /// Stages a value (after delay()); throws when the desktop refuses it.
    void stage(const std::string& key, GVariant* value) {
        Variant owned(g_variant_ref_sink(value));
        const Part* part = partOf(key);
        std::unique_ptr<GSettingsSchemaKey, KeyDeleter> schemaKey(
            g_settings_schema_get_key(part->schema.get(), key.c_str()));
        if (!g_settings_is_writable(part->settings.get(), key.c_str()))
            throw DesktopError(std::string("The ") + m_flavour.desktop + " setting " + key +
                               " is locked");
        if (!g_variant_is_of_type(owned.get(),
                                  g_settings_schema_key_get_value_type(schemaKey.get())) ||
            !g_settings_schema_key_range_check(schemaKey.get(), owned.get()))
            throw DesktopError(std::string("The ") + m_flavour.desktop + " setting " + key +
                               " does not take the value " + printed(owned.get()));
        if (!g_settings_set_value(part->settings.get(), key.c_str(), owned.get()))
            throw DesktopError(std::string("The ") + m_flavour.desktop + " setting " + key +
                               " could not be changed");
    }

    /// Applies everything staged and waits until the store has it.
    void commit() {
        for (Part& p : m_parts) g_settings_apply(p.settings.get());
        g_settings_sync();
    }

    static std::string printed(GVariant* v) {
        GText t(g_variant_print(v, FALSE));
        return t ? t.get() : "";
    }

private:
    struct Part {
        std::unique_ptr<GSettingsSchema, SchemaDeleter> schema;
        std::unique_ptr<GSettings, GObjectDeleter> settings;
    };

    bool open(const char* id) {
        GSettingsSchemaSource* source = g_settings_schema_source_get_default();
        Part part;
        if (source) part.schema.reset(g_settings_schema_source_lookup(source, id, TRUE));
        if (!part.schema) return false;
        part.settings.reset(g_settings_new_full(part.schema.get(), nullptr, nullptr));
        m_parts.push_back(std::move(part));
        return true;
    }

    const Part* partOf(const std::string& key) const {
        for (const Part& p : m_parts)
            if (g_settings_schema_has_key(p.schema.get(), key.c_str())) return &p;
        return nullptr;
    }

    const Schema& m_flavour;
    std::vector<Part> m_parts;
};

std::string localPath(const std::string& uri) {
    GText path(g_filename_from_uri(uri.c_str(), nullptr, nullptr));
    return path ? path.get() : uri;
}

bool inside(const std::string& path, const std::string& folder) {
    return !folder.empty() && path.size() > folder.size() + 1 &&
           path.compare(0, folder.size() + 1, folder + "/") == 0;
}

const char* optionFor(Placement placement) {
    switch (placement) {
        case Placement::None:
            return "none";
        case Placement::Centre:
            return "centered";
        case Placement::Stretch:
            return "stretched";
        case Placement::Span:
            return "spanned";
        case Placement::Tile:
            return "wallpaper";
    }
    return "centered";
}

std::string whatFor(const Schema& f) {
    return std::string("The ") + f.desktop + " settings";
}

}  // namespace

GSettingsBackground::GSettingsBackground(Flavour flavour, std::string ownFolder)
    : m_flavour(flavour), m_ownFolder(std::move(ownFolder)) {}

std::string GSettingsBackground::name() const {
    return schemaOf(m_flavour).desktop;
}

DesktopState GSettingsBackground::read() {
    struct Result {
        std::map<std::string, std::string> values;  // key -> GVariant text
        std::string picture, darkPicture, options;
    };
    auto result = std::make_shared<Result>();
    const Schema& f = schemaOf(m_flavour);
    runWithin(kDesktopTimeout, whatFor(f), [result, &f] {
        Store store(f);
        for (const std::string& key : store.touchedKeys()) {
            result->values[key] = Store::printed(store.value(key).get());
        }
        result->picture = store.text(f.pictureKey);
        if (store.hasKey(f.darkPictureKey)) result->darkPicture = store.text(f.darkPictureKey);
        result->options = store.text(kOptionsKey);
    });

    QJsonObject json;
    for (const auto& [key, value] : result->values)
        json.insert(QString::fromStdString(key), QString::fromStdString(value));
    DesktopState state;
    state.state = QJsonDocument(json).toJson(QJsonDocument::Compact).toStdString();
    const std::string picture = f.pictureIsUri ? localPath(result->picture) : result->picture;
    const bool none = picture.empty() || (f.hasNoneOption && result->options == "none");
    state.wallpaper = none ? "" : picture;
    state.tileWallpaper = !none && result->options == "wallpaper" ? "1" : "0";
    state.ownPicture = inside(picture, m_ownFolder) ||
                       (f.pictureIsUri && inside(localPath(result->darkPicture), m_ownFolder));
    return state;
}

void GSettingsBackground::show(const std::string& file, Placement placement) {
    const Schema& f = schemaOf(m_flavour);
    std::string picture;
    if (placement != Placement::None) {
        if (f.pictureIsUri) {
            GText uri(g_filename_to_uri(file.c_str(), nullptr, nullptr));
            if (!uri) throw DesktopError("The picture path \"" + file + "\" is not absolute");
            picture = uri.get();
        } else {
            picture = file;
        }
    }
    runWithin(kDesktopTimeout, whatFor(f), [&f, picture, placement] {
        Store store(f);
        store.delay();
        if (placement == Placement::None && !f.hasNoneOption) {
            store.stage(f.pictureKey, g_variant_new_string(""));
        } else {
            if (placement != Placement::None) {
                store.stage(f.pictureKey, g_variant_new_string(picture.c_str()));
                if (store.hasKey(f.darkPictureKey))
                    store.stage(f.darkPictureKey, g_variant_new_string(picture.c_str()));
            }
            store.stage(kOptionsKey, g_variant_new_string(optionFor(placement)));
        }
        if (store.hasKey(f.slideshowKey)) store.stage(f.slideshowKey, g_variant_new_boolean(FALSE));
        store.commit();
    });
}

void GSettingsBackground::restore(const std::string& state) {
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(state)).object();
    std::map<std::string, std::string> values;
    for (auto it = json.begin(); it != json.end(); ++it)
        values[it.key().toStdString()] = it.value().toString().toStdString();
    const Schema& f = schemaOf(m_flavour);
    runWithin(kDesktopTimeout, whatFor(f), [&f, values] {
        Store store(f);
        store.delay();
        for (const std::string& key : store.touchedKeys()) {
            auto it = values.find(key);
            if (it == values.end()) continue;  // a key the desktop had not yet
            GVariant* v =
                g_variant_parse(store.typeOf(key), it->second.c_str(), nullptr, nullptr, nullptr);
            if (!v) throw DesktopError("The saved " + key + " (" + it->second + ") is damaged");
            store.stage(key, v);
        }
        store.commit();
    });
}

}  // namespace velluma
