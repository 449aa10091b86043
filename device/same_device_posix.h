// Whether two stat results stand for one device (POSIX only): device nodes by their device
// number, so that a link or a second node leads to the same device; any other file by its
// file system and inode. The serial port asks it of its open descriptor and its path, the
// ports above it of two paths and of the descriptors that other processes hold.
#pragma once

#include <sys/stat.h>

bool SameDevice(const struct stat& a, const struct stat& b);
