// Helpers for the end-to-end tests, which drive a program of ours started as its own process
// only through X input (xdotool) under the Xvfb fixture's window manager: window lookup by
// title, clicks at client positions, screenshots of the whole screen, and a snapshot of a
// test folder to show that a run changed none of its files.
#pragma once

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QString>
#include <QStringList>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <utility>

namespace testing_support {

// Runs xdotool with `args` and returns its output without the trailing line break.
inline std::string XdoTool(const QStringList& args) {
  QProcess tool;
  tool.start("xdotool", args);
  tool.waitForFinished(10000);
  return QString(tool.readAllStandardOutput()).trimmed().toStdString();
}

// The ids of the visible windows titled exactly `title`, one per line.
inline std::string VisibleWindowsTitled(const std::string& title) {
  return XdoTool({"search", "--onlyvisible", "--name", QString::fromStdString("^" + title + "$")});
}

// The id of the one visible window titled exactly `title` other than `except` (which may stay
// visible beside it), polled for up to 20 s; "" when none appeared.
inline std::string WaitForWindow(const std::string& title, const std::string& except = "") {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    QStringList ids = QString::fromStdString(VisibleWindowsTitled(title)).split('\n');
    ids.removeAll(QString());
    ids.removeAll(QString::fromStdString(except));
    if (ids.size() == 1) {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let it settle and paint
      return ids.front().toStdString();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return "";
}

// Polls for up to 60 s until no visible window is titled exactly `title`.
inline bool WaitUntilGone(const std::string& title) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline) {
    if (VisibleWindowsTitled(title).empty()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

// A left click at `x`, `y` of the X window `window` (its client area, menu bar included). One
// xdotool run, without --sync: that waits for a pointer motion, which never comes when the
// pointer already stands there.
inline void ClickAt(const std::string& window, int x, int y) {
  XdoTool({"mousemove", "--window", QString::fromStdString(window), QString::number(x),
           QString::number(y), "click", "1"});
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

// Keys pressed as xdotool names them ("ctrl+a", "BackSpace", "Return").
inline void PressKeys(const QStringList& keys) {
  XdoTool(QStringList{"key"} + keys);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

inline void TypeText(const std::string& text) {
  XdoTool({"type", QString::fromStdString(text)});
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

// Saves the whole screen as `path`.
inline void SaveScreen(const std::string& path) {
  const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
  EXPECT_TRUE(shot.save(QString::fromStdString(path))) << path;
}

// Every file under `folder` with its bytes and modification time.
using FolderSnapshot =
    std::map<std::string, std::pair<std::string, std::filesystem::file_time_type>>;
inline FolderSnapshot Snapshot(const std::string& folder) {
  FolderSnapshot files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    files[entry.path().string()] = {bytes, entry.last_write_time()};
  }
  return files;
}

// The names of the files that differ between two snapshots (changed, added or removed).
inline std::string SnapshotChanges(const FolderSnapshot& before, const FolderSnapshot& after) {
  std::string changes;
  for (const auto& [name, file] : before) {
    const auto it = after.find(name);
    if (it == after.end() || it->second != file) changes += name + "\n";
  }
  for (const auto& [name, file] : after)
    if (before.find(name) == before.end()) changes += name + "\n";
  return changes;
}

}  // namespace testing_support
