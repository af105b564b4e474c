// The HTTPS server of the tests, declared beside the HTTP one.
#pragma once

#include "http/loopback_server.h"
