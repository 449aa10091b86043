/* Included by the crypto, which calls nothing of it. */
#include <stddef.h>
