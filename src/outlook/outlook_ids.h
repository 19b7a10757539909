// Identifiers of Outlook's Application class and of the dual interfaces the
// program holds Outlook's objects through (from Outlook's type library).
#pragma once

#include <windows.h>

#define ORVALITH_OUTLOOK_GUID(name, first)                                                         \
    inline const GUID name = {                                                                     \
        first, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}

ORVALITH_OUTLOOK_GUID(CLSID_OutlookApplication, 0x0006F03A);
ORVALITH_OUTLOOK_GUID(IID__Application, 0x00063001);
ORVALITH_OUTLOOK_GUID(IID__NameSpace, 0x00063002);
ORVALITH_OUTLOOK_GUID(IID_MAPIFolder, 0x00063006);
ORVALITH_OUTLOOK_GUID(IID__AppointmentItem, 0x00063033);
ORVALITH_OUTLOOK_GUID(IID__TaskItem, 0x00063035);
ORVALITH_OUTLOOK_GUID(IID__Folders, 0x00063040);
ORVALITH_OUTLOOK_GUID(IID__Items, 0x00063041);
ORVALITH_OUTLOOK_GUID(IID__Views, 0x0006308D);
ORVALITH_OUTLOOK_GUID(IID_View, 0x00063095);
ORVALITH_OUTLOOK_GUID(IID__StorageItem, 0x000630CB);

#undef ORVALITH_OUTLOOK_GUID

// Class context of the Application object: in-process server and handler,
// local and remote server.
const DWORD OUTLOOK_CLASS_CONTEXT = 0x17;
