/* liblyrcom: the COM-compatible runtime. Hosts and servers include this one header. */
#ifndef LYR_COM_COM_H
#define LYR_COM_COM_H

#include "lyr/com/functions.h"
#include "lyr/com/interfaces.h"
#include "lyr/com/types.h"

#endif /* LYR_COM_COM_H */
