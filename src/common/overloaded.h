#pragma once

namespace mivo {

/// One callable made of several lambdas, for std::visit over a variant.
template <class... F> struct Overloaded : F... { using F::operator()...; };
template <class... F> Overloaded(F...) -> Overloaded<F...>;

} // namespace mivo
