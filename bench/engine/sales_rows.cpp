#include "sales_rows.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "sde50.h"

namespace bench {

const char* const kSalesLayout =
    "NOM,C,30,0;LIBELLE,C,30,0;PRIX,N,8,2;TVA,N,5,2;TICKET,C,6,0;DATE,D,8,0;TIME,C,5,0";

namespace {

// What the bar sells; at most 26 characters so that " 999" still fits.
const char* const kArticles[40] = {
    "Jupiler 25cl",    "Jupiler 50cl",   "Stella Artois", "Leffe Blonde",  "Leffe Brune",
    "Duvel",           "Chimay Bleue",   "Westmalle Tripel", "Orval",      "Kriek Boon",
    "Hoegaarden",      "Grimbergen",     "Coca-Cola",     "Coca-Cola Zero", "Fanta Orange",
    "Sprite",          "Ice Tea Peche",  "Eau plate",     "Eau petillante", "Jus d'orange",
    "Cafe",            "Cafe au lait",   "Cappuccino",    "The",           "Chocolat chaud",
    "Vin rouge verre", "Vin blanc verre", "Rose verre",   "Cava coupe",    "Peket",
    "Chips sel",       "Chips paprika",  "Cacahuetes",    "Croque monsieur", "Hot-dog",
    "Boulets frites",  "Gaufre",         "Cotisation",    "Location terrain", "Vestiaire",
};

void putText(std::vector<unsigned char>& image, int offset, int width, const std::string& s) {
    std::memset(image.data() + offset, ' ', static_cast<size_t>(width));
    std::memcpy(image.data() + offset, s.data(), std::min<size_t>(s.size(), static_cast<size_t>(width)));
}

std::string withNumber(std::string name, std::mt19937& rng) {
    // Appended: GCC 12 at -O3 reports a false -Wrestrict overlap in " " + string
    if (rng() % 2) (name += ' ') += std::to_string(rng() % 1000);
    return name;
}

int offsetOf(const char* field, int width) {
    if (sx_FieldWidth(field) != width) throw std::runtime_error(std::string("Unexpected field ") + field);
    return sx_FieldOffset(field) - 1;  // the API counts from 1
}

}  // namespace

SalesOffsets readSalesOffsets() {
    SalesOffsets o;
    o.nom = offsetOf("NOM", 30);
    o.libelle = offsetOf("LIBELLE", 30);
    o.prix = offsetOf("PRIX", 8);
    o.tva = offsetOf("TVA", 5);
    o.ticket = offsetOf("TICKET", 6);
    o.date = offsetOf("DATE", 8);
    o.time = offsetOf("TIME", 5);
    o.recordSize = sx_RecSize();
    return o;
}

// Text of cents / 100 with two decimals, right-aligned in `width`, as Str()
// writes it; formatted by hand because printf would dominate the append loop.
std::string fixed2(int cents, int width) {
    unsigned v = static_cast<unsigned>(cents < 0 ? -cents : cents);
    std::string s = std::to_string(v / 100) + "." + static_cast<char>('0' + v / 10 % 10) +
                    static_cast<char>('0' + v % 10);
    if (cents < 0) s.insert(0, 1, '-');  // not "-": a false GCC 12 -Wrestrict at -O3
    return std::string(static_cast<size_t>(std::max(0, width - static_cast<int>(s.size()))), ' ') + s;
}

SalesRows::SalesRows(SalesOffsets offsets, uint32_t seed) : at_(offsets), rng_(seed) {
    using namespace std::chrono;
    for (int day = 0; day < 366; ++day) {
        year_month_day d{sys_days{year{2024} / January / 1} + days{day}};
        char text[16];
        std::snprintf(text, sizeof text, "%04d%02u%02u", static_cast<int>(d.year()),
                      static_cast<unsigned>(d.month()), static_cast<unsigned>(d.day()));
        dates_.push_back(text);
    }
}

std::string SalesRows::randomLabel() {
    std::string name = kArticles[rng_() % 40];
    switch (rng_() % 3) {
        case 0:
            for (auto& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            break;
        case 1:
            for (auto& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            break;
        default: break;
    }
    return withNumber(name, rng_);
}

void SalesRows::build(uint64_t i, std::vector<unsigned char>& image) {
    image.assign(static_cast<size_t>(at_.recordSize), ' ');
    putText(image, at_.nom, 30, "Caissier" + std::to_string(1 + i % 3));
    putText(image, at_.libelle, 30, randomLabel());
    putText(image, at_.prix, 8, fixed2(static_cast<int>(rng_() % 2501) - 500, 8));
    static const char* const kRates[3] = {" 0.00", " 6.00", "21.00"};
    putText(image, at_.tva, 5, kRates[rng_() % 3]);
    putText(image, at_.ticket, 6, std::to_string(ticketOf(i)));
    putText(image, at_.date, 8, dates_[i % 366]);
    const char time[6] = {static_cast<char>('0' + i % 24 / 10), static_cast<char>('0' + i % 24 % 10), ':',
                          static_cast<char>('0' + i % 60 / 10), static_cast<char>('0' + i % 60 % 10), 0};
    putText(image, at_.time, 5, time);
}

std::string randomUpperLabel(std::mt19937& rng) {
    std::string name = kArticles[rng() % 40];
    for (auto& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return withNumber(name, rng);
}

}  // namespace bench
