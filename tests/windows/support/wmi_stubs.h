// The methods of WMI's class object and services that the service never calls, for the WMI
// stand-ins of the Windows tests and of the Wine bed's fake providers: each answers the one
// code it is given, and each stand-in writes only the methods the service does call (a class
// object's Get, Put, GetMethod and SpawnInstance; the services' GetObject and ExecMethod, and
// ExecQuery where it serves one).
//
// Base is the stand-in's COM base, which derives from the interface.
#pragma once

#include <windows.h>
#include <wbemcli.h>

namespace korvi::windows::test {

template <class Base, HRESULT kUnused>
class WbemClassObjectStubs : public Base {
 public:
  HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet**) override { return kUnused; }
  HRESULT STDMETHODCALLTYPE Delete(LPCWSTR) override { return kUnused; }
  HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR, LONG, VARIANT*, SAFEARRAY**) override { return kUnused; }
  HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG) override { return kUnused; }
  HRESULT STDMETHODCALLTYPE Next(LONG, BSTR*, VARIANT*, CIMTYPE*, LONG*) override { return kUnused; }
  HRESULT STDMETHODCALLTYPE EndEnumeration() override { return kUnused; }
  HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR, IWbemQualifierSet**) override { return kUnused; }
  HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject**) override { return kUnused; }
  HRESULT STDMETHODCALLTYPE GetObjectText(LONG, BSTR*) override { return kUnused; }
  HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG, IWbemClassObject**) override { return kUnused; }
  HRESULT STDMETHODCALLTYPE CompareTo(LONG, IWbemClassObject*) override { return kUnused; }
  HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR, BSTR*) override { return kUnused; }
  HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR) override { return kUnused; }
  HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR, LONG, IWbemClassObject*, IWbemClassObject*) override { return kUnused; }
  HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR) override { return kUnused; }
  HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG) override { return kUnused; }
  HRESULT STDMETHODCALLTYPE NextMethod(LONG, BSTR*, IWbemClassObject**, IWbemClassObject**) override {
    return kUnused;
  }
  HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override { return kUnused; }
  HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR, IWbemQualifierSet**) override { return kUnused; }
  HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR, BSTR*) override { return kUnused; }
};

template <class Base, HRESULT kUnused>
class WbemServicesStubs : public Base {
 public:
  HRESULT STDMETHODCALLTYPE OpenNamespace(const BSTR, LONG, IWbemContext*, IWbemServices**, IWbemCallResult**) override {
    return kUnused;
  }
  HRESULT STDMETHODCALLTYPE CancelAsyncCall(IWbemObjectSink*) override { return kUnused; }
  HRESULT STDMETHODCALLTYPE QueryObjectSink(LONG, IWbemObjectSink**) override { return kUnused; }
  HRESULT STDMETHODCALLTYPE GetObjectAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override {
    return kUnused;
  }
  HRESULT STDMETHODCALLTYPE PutClass(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) override {
    return kUnused;
  }
  HRESULT STDMETHODCALLTYPE PutClassAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) override {
    return kUnused;
  }
  HRESULT STDMETHODCALLTYPE DeleteClass(const BSTR, LONG, IWbemContext*, IWbemCallResult**) override { return kUnused; }
  HRESULT STDMETHODCALLTYPE DeleteClassAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override {
    return kUnused;
  }
  HRESULT STDMETHODCALLTYPE CreateClassEnum(const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) override {
    return kUnused;
  }
  HRESULT STDMETHODCALLTYPE CreateClassEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override {
    return kUnused;
  }
  HRESULT STDMETHODCALLTYPE PutInstance(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) override {
    return kUnused;
  }
  HRESULT STDMETHODCALLTYPE PutInstanceAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) override {
    return kUnused;
  }
  HRESULT STDMETHODCALLTYPE DeleteInstance(const BSTR, LONG, IWbemContext*, IWbemCallResult**) override {
    return kUnused;
  }
  HRESULT STDMETHODCALLTYPE DeleteInstanceAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override {
    return kUnused;
  }
  HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) override {
    return kUnused;
  }
  HRESULT STDMETHODCALLTYPE CreateInstanceEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override {
    return kUnused;
  }
  HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR, const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) override {
    return kUnused;
  }
  HRESULT STDMETHODCALLTYPE ExecQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override {
    return kUnused;
  }
  HRESULT STDMETHODCALLTYPE ExecNotificationQuery(const BSTR, const BSTR, LONG, IWbemContext*,
                                                  IEnumWbemClassObject**) override {
    return kUnused;
  }
  HRESULT STDMETHODCALLTYPE ExecNotificationQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*,
                                                       IWbemObjectSink*) override {
    return kUnused;
  }
  HRESULT STDMETHODCALLTYPE ExecMethodAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                                            IWbemObjectSink*) override {
    return kUnused;
  }
};

}  // namespace korvi::windows::test
