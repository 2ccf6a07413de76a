#include "platform/resources.h"
#include "platform/sim/sim.h"

namespace plat {

ResourceStatus ResourceOpen(Handle /*instance*/, int type, int id, ResourceView* view) {
    static const int op = SimOpId("ResourceOpen");
    if (SimFaultHere(op)) {
        *view = ResourceView{nullptr, 0, nullptr};
        return kResourceNotLoadable;
    }
    *view = ResourceView{nullptr, 0, nullptr};
    if (type != kResourceTypeRcData) return kResourceMissing;
    auto it = Sim().resources.rcdata.find(id);
    if (it == Sim().resources.rcdata.end()) return kResourceMissing;
    if (Sim().resources.not_loadable) return kResourceNotLoadable;
    view->bytes = it->second.data();
    view->size = static_cast<std::uint32_t>(it->second.size());
    view->token = reinterpret_cast<Handle>(static_cast<std::intptr_t>(id));
    return kResourceOk;
}

void ResourceClose(ResourceView* view) {
    static const int op = SimOpId("ResourceClose");
    SimCountHere(op);
    *view = ResourceView{nullptr, 0, nullptr};
}

}  // namespace plat
