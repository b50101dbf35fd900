#pragma once

#include <cstdint>

// How the program asks the allocator for memory. A large schema is built in
// millions of small pieces, and fresh pages cost more than the work done in
// them: on a virtual machine every page fault is dear, and for two 25 MB
// files the faults once took longer than all the reading.

// Keeps memory that has been freed for the next allocations instead of
// handing it back to the system. The readers build large arrays that live
// for one step (definitions before they are sorted, the keys they are
// sorted by); kept, that memory serves the next step. Called once, first.
void keepFreedMemory();

// Readies the heap for about `bytes` more of small allocations that will
// live together, as the definitions read from a large file do: the top of
// the heap is grown ahead in one piece that the kernel is asked to back
// with 2 MiB pages, each of which costs one fault where 512 small ones cost
// 512. The piece stays with the allocator, which hands it out as before;
// until it is used it takes only address space. Small amounts, and a system
// without huge pages or without the address space, leave the heap as it is.
void reserveHeap(std::uint64_t bytes);
