// Pictures of the windows for the documentation: saved when WENDLAR_SHOTS_DIR names a folder.
#pragma once

#include <gtest/gtest.h>

#include <QPixmap>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace wendlar::ui {

inline void SaveShot(QWidget* window, const std::string& name) {
  const char* dir = std::getenv("WENDLAR_SHOTS_DIR");
  const QPixmap shot = window->grab();
  EXPECT_FALSE(shot.isNull()) << name;
  if (dir != nullptr) {
    EXPECT_TRUE(shot.save(QString::fromStdString((std::filesystem::path(dir) / name).string())));
  }
}

}  // namespace wendlar::ui
