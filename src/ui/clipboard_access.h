// The system clipboard as the clipboard watcher needs it: one attempt per call, so the watcher
// decides how often to try. The window supplies the Windows implementation; tests use a fake.
#pragma once

#include <string>
#include <string_view>

namespace tvx {

class ClipboardAccess {
 public:
  virtual ~ClipboardAccess() = default;
  // Whether the clipboard holds Unicode text (asking does not need it open).
  virtual bool HasText() = 0;
  // One attempt to open it; false while another program holds it.
  virtual bool Open() = 0;
  virtual void Close() = 0;
  // While open: the Unicode text up to its terminating zero or the end of its memory block.
  virtual bool ReadText(std::wstring& text) = 0;
  // While open: empties the clipboard and stores `text` with its terminating zero.
  virtual bool WriteText(std::wstring_view text) = 0;
};

}  // namespace tvx
