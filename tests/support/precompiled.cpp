// The one source of the library that builds the tests' shared precompiled
// QtTest; the library itself is never linked.
