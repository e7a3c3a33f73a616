// The rows a till writes to the sales table, as the benchmark appends them:
// three rows per ticket, labels from a fixed article list in mixed case.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace bench {

// "NAME,TYPE,WIDTH,DECIMALS;..." for sx_CreateTable.
extern const char* const kSalesLayout;

// Where each field sits in the record image (byte 0 is the deletion flag).
struct SalesOffsets {
    int nom = 0, libelle = 0, prix = 0, tva = 0, ticket = 0, date = 0, time = 0;
    int recordSize = 0;
};

// Reads the offsets of the current work area through the C API; throws
// std::runtime_error when the table is not the sales layout.
SalesOffsets readSalesOffsets();

class SalesRows {
public:
    SalesRows(SalesOffsets offsets, uint32_t seed);

    // Fills `image` with row i (1-based).
    void build(uint64_t i, std::vector<unsigned char>& image);

    static uint64_t ticketOf(uint64_t i) { return (i - 1) / 3 + 1; }

private:
    std::string randomLabel();

    SalesOffsets at_;
    std::mt19937 rng_;
    std::vector<std::string> dates_;  // DATE of day 0..365, formatted once

};

// A label as a clerk would look it up: an article name in upper case, half
// the time followed by a number, like the stored labels.
std::string randomUpperLabel(std::mt19937& rng);

}  // namespace bench
