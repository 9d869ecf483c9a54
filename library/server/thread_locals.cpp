// The DLL's own emulated thread-local storage (the compiler's __emutls_get_
// address, which the exception support of the C++ run-time uses for its
// per-thread state).
//
// The tool chain's version keeps each thread's block under a key of the
// statically linked thread library, whose key table lock (a condition
// variable, two semaphores) is made on first use and never destroyed, and
// whose key store gives a foreign thread a record of its own: once an
// exception had been thrown, every load and free of the DLL kept kernel
// handles. This one keeps the blocks under a Win32 TLS slot, frees a thread's
// blocks when the thread ends, and gives the slot back when the DLL is
// unloaded.
#include <windows.h>

#include <malloc.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// What the compiler emits for each thread-local variable; `offset` is 0 until
// the variable is first used, then its 1-based index in a thread's table.
struct EmulatedVariable {
    uintptr_t size;
    uintptr_t align;
    uintptr_t offset;
    const void* initial;  // null: zero-initialised
};

// One thread's table: a block per variable it has used.
struct ThreadTable {
    size_t count;
    void* blocks[1];
};

DWORD g_slot = TLS_OUT_OF_INDEXES;
SRWLOCK g_lock = SRWLOCK_INIT;
uintptr_t g_variables = 0;

void FreeThreadTable() {
    if (g_slot == TLS_OUT_OF_INDEXES) return;
    auto* table = static_cast<ThreadTable*>(TlsGetValue(g_slot));
    if (!table) return;
    for (size_t i = 0; i < table->count; ++i) _aligned_free(table->blocks[i]);
    free(table);
    TlsSetValue(g_slot, nullptr);
}

// Runs when a thread ends and when the DLL is unloaded (also on threads
// whose DllMain calls are disabled).
void NTAPI ThreadLocalsCallback(PVOID, DWORD reason, PVOID reserved) {
    if (reason == DLL_THREAD_DETACH) {
        FreeThreadTable();
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        // Unloaded by FreeLibrary: this thread's blocks and the slot go;
        // other threads still alive lose only their memory.
        FreeThreadTable();
        if (g_slot != TLS_OUT_OF_INDEXES) TlsFree(g_slot);
        g_slot = TLS_OUT_OF_INDEXES;
    }
}

}  // namespace

// Between the loader's start and end markers (.CRT$XLA, .CRT$XLZ).
extern "C" __attribute__((section(".CRT$XLY"), used)) const PIMAGE_TLS_CALLBACK tessary_thread_locals_callback =
    ThreadLocalsCallback;

extern "C" void* __emutls_get_address(void* variable) {
    auto* v = static_cast<EmulatedVariable*>(variable);
    uintptr_t offset = __atomic_load_n(&v->offset, __ATOMIC_ACQUIRE);
    if (!offset) {
        AcquireSRWLockExclusive(&g_lock);
        if (g_slot == TLS_OUT_OF_INDEXES) g_slot = TlsAlloc();
        offset = v->offset;
        if (!offset) __atomic_store_n(&v->offset, offset = ++g_variables, __ATOMIC_RELEASE);
        ReleaseSRWLockExclusive(&g_lock);
        if (g_slot == TLS_OUT_OF_INDEXES) abort();
    }
    auto* table = static_cast<ThreadTable*>(TlsGetValue(g_slot));
    if (!table || table->count < offset) {
        const size_t count = offset + 8;
        auto* grown = static_cast<ThreadTable*>(calloc(1, sizeof(ThreadTable) + count * sizeof(void*)));
        if (!grown) abort();
        if (table) {
            memcpy(grown->blocks, table->blocks, table->count * sizeof(void*));
            free(table);
        }
        grown->count = count;
        table = grown;
        TlsSetValue(g_slot, table);
    }
    void*& block = table->blocks[offset - 1];
    if (!block) {
        block = _aligned_malloc(v->size, v->align > sizeof(void*) ? v->align : sizeof(void*));
        if (!block) abort();
        if (v->initial) memcpy(block, v->initial, v->size);
        else memset(block, 0, v->size);
    }
    return block;
}
