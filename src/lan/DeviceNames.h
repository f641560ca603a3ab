// The devices a LAN server serves, each under its protocol's name and its
// place ("inst0", "hislip1"), in the order they were added: a place given
// up is taken by the next device added, so the others keep their names.
#pragma once

#include <QString>
#include <algorithm>
#include <vector>

class ScpiDevice;

class DeviceNames {
public:
    explicit DeviceNames(const char* prefix) : prefix_(prefix) {}

    void add(ScpiDevice& device) {
        const auto free = std::find(devices_.begin(), devices_.end(), nullptr);
        if (free != devices_.end())
            *free = &device;
        else
            devices_.push_back(&device);
    }
    void remove(ScpiDevice& device) {
        std::replace(devices_.begin(), devices_.end(), &device, static_cast<ScpiDevice*>(nullptr));
    }
    bool any() const {
        return std::any_of(devices_.begin(), devices_.end(), [](const ScpiDevice* d) { return d; });
    }
    QString name(const ScpiDevice& device) const {
        const auto it = std::find(devices_.begin(), devices_.end(), &device);
        return it == devices_.end() ? QString() : prefix_ + QString::number(it - devices_.begin());
    }
    // The device of a name as a client sends it (any case); none when none.
    ScpiDevice* named(const QString& sent) const {
        const QString name = sent.toLower();
        bool number = name.startsWith(prefix_);
        const int index = number ? name.mid(prefix_.size()).toInt(&number) : -1;
        return number && index >= 0 && index < static_cast<int>(devices_.size()) ? devices_[index]
                                                                                 : nullptr;
    }

private:
    QString prefix_;
    std::vector<ScpiDevice*> devices_;
};
