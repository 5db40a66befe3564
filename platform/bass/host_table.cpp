/* The host's two exports for plug-ins: BASS_GetVersion (2.4) and `_`, the
 * table of operations, each slot pointing at the function of the file that
 * owns it. Unused slots stay null. Plug-ins read this table; nothing here
 * has state. */
#include "host_internal.h"

extern "C" uint32_t VARDEK_CALL BASS_GetVersion(void) { return 0x02040001u; }

extern "C" const HostFunctions _ = {
    .ReportError = HostReportError,
    .RegisterConfigHandler = HostRegisterConfigHandler,
    .CreateStream = HostCreateStream,
    .slot3 = nullptr, .slot4 = nullptr, .slot5 = nullptr, .slot6 = nullptr,
    .slot7 = nullptr, .slot8 = nullptr, .slot9 = nullptr,
    .FileOpen = HostFileOpen,
    .FileOpenURL = HostFileOpenURL,
    .FileOpenUser = HostFileOpenUser,
    .FileClose = HostFileClose,
    .slot14 = nullptr,
    .FileBindStream = HostFileBindStream,
    .FileGetFlags = HostFileGetFlags,
    .slot17 = nullptr,
    .FileRead = HostFileRead,
    .FileSeek = HostFileSeek,
    .FilePosition = HostFilePosition,
    .slot21 = nullptr, .slot22 = nullptr, .slot23 = nullptr, .slot24 = nullptr,
    .slot25 = nullptr,
    .IntToFloat = HostIntToFloat,
};
