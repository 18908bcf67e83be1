// The keyboard focus ring: widgets that take keys register their queues each
// time they are drawn; keys go to the focused one, Tab moves the focus.
#include <algorithm>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/butn.h"

namespace {

std::vector<focus_info_t> focus_ring;
int focus_id = 0;
int wind_focus = 0;

enum : int {
    k_tab = 0x001,
    k_return = 0x002,
    k_delete = 0x004,
    k_escape = 0x008,
    k_navigation = 0x010,
    k_letter = 0x020,
    k_digit = 0x040,
    k_sign = 0x080,
    k_printable = 0x100,
    k_other = 0x200,
};

constexpr int vk_tab = 9;
constexpr int flag_shift = 1;
constexpr int flag_up = 16;

int key_class(int c, int vkey)
{
    switch (vkey) {
    case 9: return k_tab;
    case 13:
    case 187: return k_return;
    case 8:
    case 46: return k_delete;
    case 27: return k_escape;
    default: break;
    }
    if (vkey >= 33 && vkey <= 40) return k_navigation;
    if (c == '+' || c == '-') return k_sign;
    if (c >= '0' && c <= '9') return k_digit;
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return k_letter;
    if (c >= 32 && c <= 126) return k_printable;
    return k_other;
}

// A Tab press with nothing focused focuses the first widget drawn.
int focus_first(int vkey, int flags)
{
    if (vkey == vk_tab && !(flags & flag_up) && !focus_ring.empty()) {
        focus_id = focus_ring.front().id;
        return 1;
    }
    return 0;
}

// Whether a widget registered on this queue was drawn in the last pass.
bool queue_owner_drawn(const focus_info_t& queue, int id)
{
    for (const focus_info_t& f : focus_ring)
        if (f.ctr_slot == queue.ctr_slot && f.id == id) return true;
    return false;
}

// Drops the entries that no widget will read any more: those already used
// (identity cleared) and those of widgets no longer drawn. Keeps the order.
void compact_queue(const focus_info_t& f)
{
    const int count = std::min(*f.ctr_slot, f.capacity);
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        const int id = f.id_slot[i];
        if (id == 0 || !queue_owner_drawn(f, id)) continue;
        f.char_slot[kept] = f.char_slot[i];
        f.vkey_slot[kept] = f.vkey_slot[i];
        f.flag_slot[kept] = f.flag_slot[i];
        f.id_slot[kept] = id;
        ++kept;
    }
    *f.ctr_slot = kept;
}

}  // namespace

void BTN_begin_focus_ring()
{
    focus_ring.clear();
    wind_focus = 0;
}

int BTN_register_focus(int id, int* char_slot, int* vkey_slot, int* flag_slot, int* id_slot,
                       int* ctr_slot, int capacity, int accept_mask, int grab)
{
    focus_ring.push_back(
        {id, char_slot, vkey_slot, flag_slot, id_slot, ctr_slot, capacity, accept_mask});
    if (grab) focus_id = id;
    return id == focus_id ? 1 : 0;
}

int BTN_dispatch_to_focus(int c, int vkey, int flags)
{
    if (mnw.wind == wind_alert) return 0;
    if (focus_id == 0) return focus_first(vkey, flags);

    std::size_t at = 0;
    while (at < focus_ring.size() && focus_ring[at].id != focus_id) ++at;
    if (at == focus_ring.size()) {
        focus_id = 0;
        return focus_first(vkey, flags);
    }
    const focus_info_t& f = focus_ring[at];

    if (vkey == vk_tab && !(f.accept_mask & k_tab) && !(flags & flag_up)) {
        const long n = long(focus_ring.size());
        const long next = ((long(at) + ((flags & flag_shift) ? -1 : 1)) % n + n) % n;
        focus_id = focus_ring[std::size_t(next)].id;
        return 1;
    }

    if (!(f.accept_mask & key_class(c, vkey))) return 0;

    if (*f.ctr_slot < 0 || *f.ctr_slot >= f.capacity) compact_queue(f);
    const int k = *f.ctr_slot;
    // The widget takes this kind of key but has no room: the key is lost
    // rather than written past its queue.
    if (k >= f.capacity) return 1;
    f.char_slot[k] = c;
    f.vkey_slot[k] = vkey;
    f.flag_slot[k] = flags;
    f.id_slot[k] = focus_id;
    *f.ctr_slot = k + 1;
    return 1;
}

void BTN_unfocus_any() { focus_id = 0; }

void BTN_focus_any() { focus_id = focus_ring.empty() ? 0 : focus_ring.front().id; }

void BTN_window_has_focus() { wind_focus = 1; }

int BTN_no_focus_yet() { return !wind_focus && focus_id == 0 ? 1 : 0; }

int BTN_keys_waiting()
{
    for (const focus_info_t& f : focus_ring) {
        const int count = std::min(*f.ctr_slot, f.capacity);
        for (int i = 0; i < count; ++i)
            if (f.id_slot[i] == f.id) return 1;
    }
    return 0;
}
