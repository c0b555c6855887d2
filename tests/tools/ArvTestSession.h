#pragma once

#include <arv.h>

#include <QString>

// An Aravis connection to a camera at one loopback address, for the tests of
// our test peers (tests of tools may use Aravis directly).
class ArvTestSession
{
public:
    explicit ArvTestSession(const char* address)
    {
        GInetAddress* interfaceAddress = g_inet_address_new_from_string("127.0.0.1");
        GInetAddress* deviceAddress = g_inet_address_new_from_string(address);
        GError* error = nullptr;
        ArvDevice* device = arv_gv_device_new(interfaceAddress, deviceAddress, &error);
        g_object_unref(interfaceAddress);
        g_object_unref(deviceAddress);
        if (device != nullptr) {
            m_camera = arv_camera_new_with_device(device, &error);
            g_object_unref(device);
        }
        take(error);
        if (m_camera != nullptr) {
            arv_camera_set_range_check_policy(m_camera, ARV_RANGE_CHECK_POLICY_ENABLE);
            arv_camera_set_access_check_policy(m_camera, ARV_ACCESS_CHECK_POLICY_ENABLE);
        }
    }
    ~ArvTestSession()
    {
        if (m_camera != nullptr)
            g_object_unref(m_camera);
    }
    ArvTestSession(const ArvTestSession&) = delete;
    ArvTestSession& operator=(const ArvTestSession&) = delete;

    bool isOpen() const { return m_camera != nullptr; }
    ArvCamera* camera() const { return m_camera; }
    ArvDevice* device() const { return arv_camera_get_device(m_camera); }
    QString lastError() const { return m_error; }

    bool setInteger(const char* name, gint64 value)
    {
        GError* error = nullptr;
        arv_device_set_integer_feature_value(device(), name, value, &error);
        return take(error);
    }
    gint64 integer(const char* name)
    {
        GError* error = nullptr;
        const gint64 value = arv_device_get_integer_feature_value(device(), name, &error);
        take(error);
        return value;
    }
    bool boolean(const char* name)
    {
        GError* error = nullptr;
        const gboolean value = arv_device_get_boolean_feature_value(device(), name, &error);
        take(error);
        return value != FALSE;
    }
    bool setString(const char* name, const char* value)
    {
        GError* error = nullptr;
        arv_device_set_string_feature_value(device(), name, value, &error);
        return take(error);
    }
    QString string(const char* name)
    {
        GError* error = nullptr;
        const char* value = arv_device_get_string_feature_value(device(), name, &error);
        take(error);
        return QString::fromUtf8(value != nullptr ? value : "");
    }
    bool execute(const char* name)
    {
        GError* error = nullptr;
        arv_device_execute_command(device(), name, &error);
        return take(error);
    }

private:
    bool take(GError* error)
    {
        if (error == nullptr)
            return true;
        m_error = QString::fromUtf8(error->message);
        g_error_free(error);
        return false;
    }

    ArvCamera* m_camera = nullptr;
    QString m_error;
};
