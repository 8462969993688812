#pragma once

namespace lw {

// While a file is being saved, a request to end the program (Ctrl+C, Ctrl+\,
// SIGTERM, SIGHUP; closing the console on Windows) is held back instead of
// ending it half-way: the save asks Requested() at the points where it can
// still stop with the file as it was, cleans up, and when this object goes
// the program ends as the request asked. A file size limit makes the write
// fail, as a full disk does, instead of ending the program. One save at a
// time holds them.
class SaveInterruptions {
 public:
  SaveInterruptions();
  ~SaveInterruptions();
  SaveInterruptions(const SaveInterruptions&) = delete;
  SaveInterruptions& operator=(const SaveInterruptions&) = delete;

  [[nodiscard]] bool Requested() const;
};

}  // namespace lw
