#include "support/Vectors.h"

#include "support/TestSupport.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tessarin::test {

std::string CipherVector::Name() const
{
    return (isMode ? mode : std::string("KAT")) + "_b" + std::to_string(block) + "_k" + std::to_string(keyLength);
}

const std::vector<CipherVector>& AllVectors()
{
    static const std::vector<CipherVector> vectors = [] {
        std::ifstream in(std::string(TESSARIN_TEST_DATA) + "/rijndael_vectors.txt");
        if (!in)
            throw std::runtime_error("rijndael_vectors.txt not found");
        std::vector<CipherVector> all;
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#')
                continue;
            std::istringstream fields(line);
            std::string kind, key, plain, cipher;
            CipherVector v;
            fields >> kind >> v.block >> v.keyLength;
            if (kind == "KAT") {
                fields >> key >> plain >> cipher;
            } else if (kind == "MODE") {
                std::string chain;
                v.isMode = true;
                fields >> v.mode >> key >> chain >> plain >> cipher;
                v.chain = FromHex(chain);
            } else {
                continue;
            }
            v.key = FromHex(key);
            v.plain = FromHex(plain);
            v.cipher = FromHex(cipher);
            all.push_back(std::move(v));
        }
        return all;
    }();
    return vectors;
}

} // namespace tessarin::test
