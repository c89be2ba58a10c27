#include "themes/LibraryReadAhead.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>

#include "themes/DesktopComponents.h"
#include "themes/ThemeContext.h"
#include "themes/ThemePackage.h"

namespace velluma {

// What the worker and the window's thread share while they read the library.
struct LibraryReadAhead::Reading {
    std::string folder;
    bool components = false;  // ActiveDesktopInstalled && FlashInstalled
    std::mutex mutex;
    std::condition_variable listedChanged;
    bool listed = false;
    std::vector<std::string> packages;          // fixed once listed
    std::vector<std::optional<ThemeRow>> rows;  // a slot per package, each filled by one thread
    std::atomic<std::size_t> next{0};           // the first package no thread has taken
    std::atomic<bool> needsScan{false};

    void list() {
        std::optional<std::vector<std::string>> found;
        std::vector<std::optional<ThemeRow>> slots;
        try {
            found = LibraryPackages(folder);
            if (found) slots.resize(found->size());
        } catch (...) {
            found.reset();
        }
        {
            const std::lock_guard<std::mutex> lock(mutex);
            if (found) {
                packages = std::move(*found);
                rows = std::move(slots);
            } else {
                needsScan = true;
            }
            listed = true;
        }
        listedChanged.notify_all();
    }

    void waitUntilListed() {
        std::unique_lock<std::mutex> lock(mutex);
        listedChanged.wait(lock, [this] { return listed; });
    }

    // Reads the next package nobody has taken; false when none is left.
    bool readNext() {
        if (needsScan) return false;
        const std::size_t i = next++;
        if (i >= packages.size()) return false;
        try {
            ThemeRow row;
            switch (ReadPackageRow(packages[i], components, row)) {
                case PackageReading::Listed:
                    rows[i] = std::move(row);
                    break;
                case PackageReading::Skipped:
                    break;
                case PackageReading::MustConvert:
                    needsScan = true;
                    return false;
            }
        } catch (...) {
            needsScan = true;  // the scan meets it again and reports it
            return false;
        }
        return true;
    }
};

LibraryReadAhead::LibraryReadAhead(ThemeContext& themes) {
    // The registry stays on this thread; anything unusual is left to the scan itself.
    bool components = false;
    try {
        components = ActiveDesktopInstalled(themes.registry) && FlashInstalled(themes.registry);
    } catch (const std::exception&) {
        return;
    }
    m_reading = std::make_unique<Reading>();
    m_reading->folder = themes.themeFolder();
    m_reading->components = components;
    try {
        m_worker = std::thread([reading = m_reading.get()] {
            reading->list();
            while (reading->readNext()) {
            }
        });
    } catch (const std::system_error&) {
        // No thread to spare: take reads it all.
    }
}

LibraryReadAhead::~LibraryReadAhead() {
    if (!m_worker.joinable()) return;
    m_reading->needsScan = true;  // rows nobody takes any more: the worker stops
    m_worker.join();
}

std::optional<std::vector<ThemeRow>> LibraryReadAhead::take(
    const std::function<void()>& processEvents) {
    if (!m_reading) return std::nullopt;
    if (!m_worker.joinable()) m_reading->list();
    m_reading->waitUntilListed();
    while (m_reading->readNext()) {
        if (processEvents) processEvents();
    }
    if (m_worker.joinable()) m_worker.join();
    if (m_reading->needsScan) return std::nullopt;
    std::vector<ThemeRow> rows;
    rows.reserve(m_reading->rows.size());
    for (std::optional<ThemeRow>& row : m_reading->rows)
        if (row) rows.push_back(std::move(*row));
    return rows;
}

}  // namespace velluma
