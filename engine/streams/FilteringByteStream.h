#pragma once
#include <boost/iostreams/chain.hpp>
#include <boost/iostreams/filtering_stream.hpp>

namespace boost {
namespace iostreams {

// The filtering stream over unsigned bytes through which every chain is used.
BOOST_IOSTREAMS_DEFINE_FILTER_STREAM(filtering_byte_stream, boost::iostreams::chain, unsigned char)

}  // namespace iostreams
}  // namespace boost
