// The file system redirection of a 32-bit process on 64-bit Windows, turned
// off for a few file calls.
#pragma once

namespace varneth {

// While it lives, the calling thread's file calls name the files their paths
// name: C:\Windows\System32 is System32, not SysWOW64. The functions are
// bound on first use; where they are absent (32-bit Windows) this does
// nothing. The redirection also serves the loading of system modules, so
// only plain file calls run inside.
class FileRedirectionOff {
 public:
  FileRedirectionOff();
  FileRedirectionOff(const FileRedirectionOff&) = delete;
  FileRedirectionOff& operator=(const FileRedirectionOff&) = delete;
  ~FileRedirectionOff();

 private:
  void* previous_ = nullptr;
  bool off_ = false;
};

}  // namespace varneth
