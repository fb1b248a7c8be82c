#include "app/UploadApp.h"

int main(int argc, char** argv) {
  flashdesk::UploadApp app(argc, argv);
  return app.InitInstance();
}
