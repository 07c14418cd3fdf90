// tarnwick: the desktop program. Everything but the start lives in tarnwick_ui.
#include "ui/TarnwickApp.h"

int main(int argc, char** argv) { return tarnwick::ui::CTarnwickApp::Main(argc, argv); }
