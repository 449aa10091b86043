/* Included by the crypto, which uses nothing of it. */
#include <stddef.h>
