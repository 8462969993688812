#include "ui/win32/FolderPicker.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>
#include <utility>

namespace lw::win32 {
namespace {

// Only file-system folders and their ancestors, in both pickers.
constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;
constexpr FILEOPENDIALOGOPTIONS kItemDialogOptions = FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST;

// The shell's pickers want COM on this thread; it may already be there.
class ComApartment {
 public:
  ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  HRESULT result_;
};

// One reference to a COM object, released when it goes.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (object_ != nullptr) object_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;

  T** Out() { return &object_; }
  T* Get() const { return object_; }
  T* operator->() const { return object_; }

 private:
  T* object_ = nullptr;
};

std::wstring Widen(const CString& text) {
  const int units = MultiByteToWideChar(CP_ACP, 0, text.GetString(), text.GetLength(), nullptr, 0);
  std::wstring wide(static_cast<size_t>(units > 0 ? units : 0), L'\0');
  if (units > 0) MultiByteToWideChar(CP_ACP, 0, text.GetString(), text.GetLength(), wide.data(), units);
  return wide;
}

// Nothing when a character has no byte form in the code page: the path with a
// '?' in its place would name no folder, or another one.
std::optional<CString> Narrow(const wchar_t* wide) {
  // UTF-8 spells every character, and its conversion takes neither the flag
  // nor the question.
  const bool utf8 = GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL lossy = FALSE;
  BOOL* const lossyOut = utf8 ? nullptr : &lossy;
  const int length = WideCharToMultiByte(CP_ACP, flags, wide, -1, nullptr, 0, nullptr, lossyOut);
  if (length <= 0 || lossy) return std::nullopt;
  std::string bytes(static_cast<size_t>(length), '\0');
  if (WideCharToMultiByte(CP_ACP, flags, wide, -1, bytes.data(), length, nullptr, lossyOut) != length || lossy) {
    return std::nullopt;
  }
  bytes.pop_back();  // the terminator
  return CString(std::move(bytes));
}

// Whether the dialog takes the options that make it a folder picker.
bool PicksFolders(IFileOpenDialog& dialog) {
  FILEOPENDIALOGOPTIONS options = 0;
  return SUCCEEDED(dialog.GetOptions(&options)) && SUCCEEDED(dialog.SetOptions(options | kItemDialogOptions));
}

std::optional<CString> AskItemDialog(IFileOpenDialog& dialog, HWND owner, const CString& title,
                                     const CString& startFolder) {
  if (!title.IsEmpty()) dialog.SetTitle(Widen(title).c_str());
  if (!startFolder.IsEmpty()) {
    // A start folder that is gone leaves the dialog where it would open anyway.
    ComRef<IShellItem> start;
    if (SUCCEEDED(SHCreateItemFromParsingName(Widen(startFolder).c_str(), nullptr, IID_PPV_ARGS(start.Out())))) {
      dialog.SetFolder(start.Get());
    }
  }
  // A cancel is a failure of Show too.
  ComRef<IShellItem> item;
  if (FAILED(dialog.Show(owner)) || FAILED(dialog.GetResult(item.Out()))) return std::nullopt;
  PWSTR path = nullptr;
  if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) return std::nullopt;
  // Wine's dialog warns of a typed folder that is not there, then hands it
  // back all the same.
  const DWORD attributes = GetFileAttributesW(path);
  std::optional<CString> folder;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) folder = Narrow(path);
  CoTaskMemFree(path);
  return folder;
}

// The folder tree of old, with no box to type a path into.
std::optional<CString> BrowseForFolder(HWND owner, const CString& title) {
  std::optional<CString> folder;
  IMalloc* allocator = nullptr;
  if (FAILED(SHGetMalloc(&allocator)) || allocator == nullptr) return folder;
  char displayName[MAX_PATH] = {};
  BROWSEINFOA info{};
  info.hwndOwner = owner;
  info.pidlRoot = nullptr;  // the desktop
  info.pszDisplayName = displayName;
  info.lpszTitle = title.GetString();
  info.ulFlags = kBrowseFlags;
  if (const LPITEMIDLIST item = SHBrowseForFolderA(&info)) {
    // An item without a file-system path counts as a cancel.
    char path[MAX_PATH] = {};
    if (SHGetPathFromIDListA(item, path)) folder = CString(path);
    allocator->Free(item);
  }
  allocator->Release();
  return folder;
}

}  // namespace

std::optional<CString> PickFolder(HWND owner, const CString& title, const CString& startFolder) {
  const ComApartment com;
  ComRef<IFileOpenDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(dialog.Out()))) ||
      !PicksFolders(*dialog.Get())) {
    return BrowseForFolder(owner, title);
  }
  return AskItemDialog(*dialog.Get(), owner, title, startFolder);
}

}  // namespace lw::win32
