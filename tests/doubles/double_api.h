/* How the test doubles mark their control functions. Built as static
 * libraries (the default) the mark is empty; built as shared libraries
 * (VARDEK_DOUBLES_SHARED, e.g. bass.dll and tak_deco_lib.dll for Windows
 * runs) each library exports its own functions and imports the others'. */
#ifndef VARDEK_DOUBLE_API_H
#define VARDEK_DOUBLE_API_H

#include "host/host_interface.h" /* VARDEK_EXPORT, VARDEK_IMPORT */

#if defined(VARDEK_DOUBLES_SHARED)
#define VARDEK_DOUBLE_EXPORT VARDEK_EXPORT
#define VARDEK_DOUBLE_IMPORT VARDEK_IMPORT
#else
#define VARDEK_DOUBLE_EXPORT
#define VARDEK_DOUBLE_IMPORT
#endif

#endif
