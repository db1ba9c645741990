#pragma once
// The program's top-level window until the main window's own parts arrive.

#include <QMainWindow>
#include <memory>

namespace tandex::app {

std::unique_ptr<QMainWindow> createMainWindow();

}  // namespace tandex::app
