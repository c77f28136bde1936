#pragma once
// What the form's behaviour needs from the world around it: the form's controls, the mouse
// pointer, start-up message boxes and the end of the program (FormView), and whether another
// instance of the program runs (ProgramInstance). The Windows form implements them with its
// window; tests with recorders. Controls are named by their identifiers (form_controls.h).

#include <string>
#include <string_view>

namespace zorntest {

enum class MousePointer { Default, Hourglass };
enum class MessageIcon { None, Exclamation };

class FormView {
 public:
  virtual ~FormView() = default;

  // The text of a box, a label or a combo box (for a combo box: its edit text, or the
  // selected item of a drop-down list).
  virtual std::u16string Text(int controlId) const = 0;
  virtual void SetText(int controlId, std::u16string_view text) = 0;

  // Combo boxes: items are appended; the index is -1 when nothing is selected (also when the
  // text typed into a drop-down combo is none of its items). Selecting an item replaces the
  // combo's text by the item.
  virtual void AddItem(int comboId, std::u16string_view item) = 0;
  virtual int ListIndex(int comboId) const = 0;
  virtual void SetListIndex(int comboId, int index) = 0;

  // False when the control has no Enabled property that can be set.
  virtual bool SetEnabled(int controlId, bool enabled) = 0;

  virtual void SetMousePointer(MousePointer pointer) = 0;

  // A modal message box with an OK button, under the program's default title; returns once it
  // is dismissed.
  virtual void ShowMessage(std::u16string_view text, MessageIcon icon) = 0;

  // Ends the program at once: the form closes (or is never shown) and no further event of it
  // is handled.
  virtual void EndProgram() = 0;
};

class ProgramInstance {
 public:
  virtual ~ProgramInstance() = default;
  // True when a previous instance of this same program is running.
  virtual bool PreviousInstanceRunning() = 0;
  // The program's executable file name without its extension ("ZornTest").
  virtual std::u16string ExecutableName() const = 0;
};

}  // namespace zorntest
