// Export macro of the Dravik SCSI command library.
#pragma once

#if defined(DRAVIK_STATIC)
#define DRAVIK_API
#elif defined(DRAVIK_BUILD)
#define DRAVIK_API __declspec(dllexport)
#else
#define DRAVIK_API __declspec(dllimport)
#endif
