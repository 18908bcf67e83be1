// Letter-case repair of paths.
#pragma once

// Rewrites a path that does not exist, in place, so that each component takes
// the letter case of an existing entry; stops at the first component that has
// no match. The length never changes.
void findPath(char* path);
