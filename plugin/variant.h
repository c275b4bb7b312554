// Everything the two libraries differ in, fixed at build time. The build
// defines PLUGIN_VARIANT as SaveVariant or LoadVariant; nothing else in the
// source looks at which one it is.
#pragma once

#include "host/records.h"

enum class FileDialog { Save, Open };

struct PluginVariant {
  const char *ErrorCaption;
  const char *CommandCaption;
  FileDialog Dialog;
  const wchar_t *DialogTitle;  // the dialog is the platform's wide one
  HistoryService HostServices::*Service;
};

inline constexpr PluginVariant SaveVariant = {
    "Save History plig-in",
    "Save history",
    FileDialog::Save,
    L"Select File for export to",
    &HostServices::ExportHistory,
};

inline constexpr PluginVariant LoadVariant = {
    "Load History plig-in",
    "Load history",
    FileDialog::Open,
    L"Select File for load from",
    &HostServices::ImportHistory,
};

inline constexpr const PluginVariant &Variant = PLUGIN_VARIANT;
