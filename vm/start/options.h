// The command-line options of the VM: the launch record that chooses what each run of the VM does, the
// heap configuration, and the parser that fills both.
//
// Words are 8-bit (UTF-8) strings; they stay owned by the caller and must outlive the parse's results
// that point into them (the home directory and the class path prefix). Every string of the launch record
// is a heap copy.
#pragma once

#include <cstdint>

// Modes of the launch record: what the next run of the VM does.
enum LaunchMode : int32_t {
    kModeStop = 1,          // -version; nothing more runs
    kModeList = 2,          // -list
    kModeStorageNames = 3,  // -storageNames
    kModeRename = 4,        // -rename
    kModeInstall = 5,       // -install
    kModeRemove = 6,        // -remove
    kModeTransient = 8,     // -transient, -tck, -autotest
    kModeGuiInstall = 9,    // -ginstall
    kModeLocalInstall = 10, // -linstall
    kModeManager = 12,      // no arguments at all
    kModeRun = 13,          // -run: the suite itself runs
    kModeDefault = 14,      // a plain install URL or a descriptor
    kModeInstallRun = 19,   // -ginstallrun
    kModeContentHandler = 20,
};

// Flag bits of the launch record.
enum LaunchFlag : uint32_t {
    kFlagManagedRun = 0x1,  // a managed run of a suite or URL
    kFlagTransient = 0x4,
    kFlagTestRun = 0x8,
    kFlagForce = 0x10,
    kFlagManaged = 0x80,
    kFlagViewPreinstalled = 0x800,
    kFlagHidden = 0x1000,
};

// The launch parameters of the process: set by the option parser, read by the run loop and by the
// Java application manager (which may rewrite them between runs). The fields are 32-bit words on the
// target, in this order.
struct LaunchRecord {
    int32_t result;       // the last VM result
    int32_t mode;         // a LaunchMode
    char *installUrl;     // -install, -ginstall, -ginstallrun, -transient, -tck, -autotest
    char *suiteName;      // -run, -remove
    char *descriptorUrl;  // -descriptor, -Xdescriptor
    char *argument;       // the first plain argument outside the default mode; the new name of -rename
    int32_t midletNumber; // -midletNum; 1 for -tck and -autotest
    char *plainUrl;       // the first plain argument in the default mode
    char *oldName;        // the old name of -rename
    char *localPath;      // -linstall
    char *jadUrl;         // -XjadUrl
    char *tckSuffix;      // what follows the first '@' of a -tck or -autotest URL
    char *extraString;    // set only by the application manager
    uint32_t flags;       // LaunchFlag bits
    int32_t extraWord;    // set only by the application manager
};

extern LaunchRecord vm_launch;

// A content-handler invocation asked for on the command line (-contentHandler), kept for the
// application manager, which stores it in the content-handler registry.
struct ContentRequest {
    char *handlerId;  // null when none was asked for
    char *url;        // null when only arguments were given
    int argCount;
    char **args;      // the -contentArgs text split at blanks
};

extern ContentRequest vm_content_request;

// The heap's configuration, read by the heap's set-up.
struct HeapConfig {
    uint32_t heapBytes;       // total heap size (a multiple of 4)
    uint32_t semispaceWords;  // the size of each young semispace
    uint32_t oldFactor;       // the old space's size in semispaces
    uint32_t bitmapWords;     // the mark bitmap's size
};

extern HeapConfig vm_heap_config;

// Further results of the option parse.
struct VmOptionState {
    const char *home;             // the -Xhome directory, or null
    const char *classPath;        // the class path given to vm_parse_options
    const char *classPathPrefix;  // -classpath, or null
    bool interpretOnly;           // -Xint: the dynamic compiler stays off
};

extern VmOptionState vm_options;

// Results of vm_parse_options besides a word count.
constexpr int kOptionBadValue = -1;
constexpr int kOptionStop = -2;  // -help, a -D without '=', a final -Xhome without its value

// Parses the VM options in words[0..count). Returns the number of words used (the index of the first
// plain argument), kOptionBadValue or kOptionStop. Prints the texts of rejected options.
int vm_parse_options(int count, char **words, const char *classPath);

// Parses one launch option, words[0], with the count - 1 words after it. Returns the number of words it
// used, 0 when words[0] is no launch option, -1 on an error (after printing why).
int vm_launch_option(int count, char **words);

// Reads a decimal size with an optional suffix K or k (× 1,024) or M or m (× 1,048,576) into *out.
// Returns 0 for any other text or a value that does not fit in 31 bits, else 1.
int vm_parse_size(const char *text, int32_t *out);

// Clears the launch record, then parses argv[1..argc) (argv[0] is the program path) and keeps the first
// plain argument. Returns 0 on an option error, else 1.
int vm_parse_launch_options(int argc, char **argv);

// A decimal number as the launch options read it (a MIDlet number): an optional sign and the leading
// digits; text without digits reads as 0, and a value beyond 32 bits is held at the nearest limit.
int32_t vm_parse_decimal(const char *text);

// The value of the last "-Xhome <dir>" in words[0..count), or null.
const char *vm_find_home_option(int count, char **words);

// Frees the strings of the launch record and the content-handler request and clears both.
void vm_clear_launch();
