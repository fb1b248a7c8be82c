#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "panels/CheckEntry.h"

namespace flashdesk {

// One speaker model in the speaker list: its check box and display name. Type, count and
// selection may be set from the scan thread; painting happens on the window's thread.
class SpeakerButton : public CheckEntry {
  Q_OBJECT

 public:
  SpeakerButton(int controlId, QWidget* parent);

  // Stores the code; the name follows it only for a known model.
  void SetType(std::int32_t code);
  std::int32_t Type() const;
  std::string Name() const;
  void SetCount(std::int32_t speakers);
  std::int32_t Count() const;
  void SetSelected(bool tick);
  bool IsSelected() const override;

 protected:
  void ToggleSelected() override;
  QString EntryText() const override;
  QColor TickedFill() const override { return QColor(105, 173, 246); }

 private:
  mutable std::mutex lock;
  std::string name;
  std::int32_t count = 0;
  bool selected = false;
  std::int32_t type = 0;
};

}  // namespace flashdesk
