// IConsolePlugIn: how the console learns of a plug-in. The console finds the plug-in's class
// id under its plug-in key, makes the object, and asks it for its display name and for the
// class id of the control it is to host. The interface is shared with the console: its
// methods keep this order and these types. Pointer parameters must not be null.
//
// IPlugInConsole is the console's end that CallBackHost is given.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/com/Guid.h"
#include "platform/com/Unknown.h"

inline constexpr IID IID_IConsolePlugIn{
    0xB3D339B0, 0x7EAE, 0x11D0, {0xBE, 0x61, 0x00, 0xA0, 0xC9, 0x1E, 0xF7, 0xB9}};

// {5147DA0C-E8E1-4394-8C89-4424E2144C78}, an interface of our console.
inline constexpr IID IID_IPlugInConsole{
    0x5147DA0C, 0xE8E1, 0x4394, {0x8C, 0x89, 0x44, 0x24, 0xE2, 0x14, 0x4C, 0x78}};

// The console's interface a plug-in calls back through. A plug-in calls only its tenth
// method, PlugInCallBack, the seventh after the three of IUnknown. The six before it belong
// to the console, which gives them their meaning; no plug-in calls them, and they stand here
// so that PlugInCallBack keeps its place.
struct IPlugInConsole : IUnknown {
  virtual LONG ConsoleMethod4() = 0;
  virtual LONG ConsoleMethod5() = 0;
  virtual LONG ConsoleMethod6() = 0;
  virtual LONG ConsoleMethod7() = 0;
  virtual LONG ConsoleMethod8() = 0;
  virtual LONG ConsoleMethod9() = 0;
  // What the console answers is passed on by the plug-in.
  virtual LONG PlugInCallBack() = 0;

 protected:
  ~IPlugInConsole() = default;
};

struct IConsolePlugIn : IUnknown {
  // 1.
  virtual LONG QueryFlagA() = 0;
  // 1.
  virtual LONG QueryFlagB() = 0;
  // Copies the plug-in's display name and its terminating zero into `buffer` (the caller
  // gives room for it) and sets *value to 0; 1. The first parameter is not used.
  virtual LONG GetDisplayName(LONG unused, char* buffer, LONG* value) = 0;
  // Writes the class id of the control the console is to host into *clsid; 1. The first
  // parameter is not used.
  virtual LONG GetControlClsid(LONG unused, CLSID* clsid) = 0;
  // Does nothing; 0.
  virtual LONG DeclineRequest(LONG first, LONG second) = 0;
  // Calls the console's PlugInCallBack and returns what it answers. The first parameter is
  // not used.
  virtual LONG CallBackHost(LONG unused, IPlugInConsole* console) = 0;

 protected:
  ~IConsolePlugIn() = default;
};
