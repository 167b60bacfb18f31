#pragma once

#include <cstdint>
#include <string>

/// What one page of the printed maze (a PDF file or a print job) needs in memory while
/// it is laid out: the PDF writer holds the whole page until it ends. The figures are
/// measured from that writer; a writer that streams its page changes them here.
struct PageMemory {
    std::uint64_t needed = 0;     ///< bytes for this page
    std::uint64_t available = 0;  ///< bytes the process may still take
    long long largestCells = 0;   ///< the most cells a page can have in `available`
    bool fits() const { return needed <= available; }
};

/// The check for a page of `mazes` grids of gridWidth x gridHeight nodes; a "City plan" page
/// (ragged slabs rather than tiles) takes more per cell, and an answer key's page more for
/// each of the `lineNodes` its solution line passes through. largestCells is then the most
/// cells each of the mazes can have.
PageMemory page_memory(int gridWidth, int gridHeight, bool cityPlan, long long lineNodes = 0, int mazes = 1);

/// Bytes of memory this process may still take: the least of its address-space limit
/// less what it already maps, the memory the system has available, and its control
/// group's limit less what the group uses.
std::uint64_t memory_available();

/// "2.8 GB": a size in bytes for a message, in decimal units.
std::string memory_size(std::uint64_t bytes);
