// Everything of the Ambrel core library.
#pragma once

#include "qln/Array.h"
#include "qln/Buffer.h"
#include "qln/Config.h"
#include "qln/DynamicLibrary.h"
#include "qln/Exception.h"
#include "qln/FileHandle.h"
#include "qln/Format.h"
#include "qln/HashTable.h"
#include "qln/Locale.h"
#include "qln/Log.h"
#include "qln/SharedResource.h"
#include "qln/Storage.h"
#include "qln/String.h"
#include "qln/System.h"
#include "qln/WindowsRegistry.h"
