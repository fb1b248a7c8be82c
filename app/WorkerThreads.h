#pragma once

namespace flashdesk {

class UploadDialog;

// The two worker threads of the main window. They never touch a widget: they change the
// dialog's shared state and post every showing, repaint and catalog build to the window's
// thread, and they never wait for that thread, which may itself be waiting for the engine.

// The start-up scan: fills the speaker panel, then the window's thread drops the scan notice
// and builds the firmware list for the selected model.
void ScanThread(UploadDialog& dialog);

// One upload of the selected file to every speaker on the saved port, ending in the status
// line, the report box and a full progress bar.
void UploadThread(UploadDialog& dialog);

}  // namespace flashdesk
