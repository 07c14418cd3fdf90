#include "ui/TarnwickApp.h"

#include <QApplication>

#include "app/ProgramFolder.h"
#include "ui/MainFrame.h"

namespace tarnwick::ui {

int CTarnwickApp::Main(int argc, char** argv) {
  QApplication application(argc, argv);
  SetProgramFolder(argc > 0 ? argv[0] : "");
  CMainFrame frame;
  frame.show();
  return QApplication::exec();
}

}  // namespace tarnwick::ui
